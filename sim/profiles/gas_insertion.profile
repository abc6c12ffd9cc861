# Gas insertion meter in an 8 inch line (compressed gas at about 7 bar),
# primary variable mass flow in lb/h; temperature and pressure sensors, LCD,
# density from the gas property table. Starts in service.
meter_type = gas
meter_style = insertion
device_revision = 1
software_revision = 12
hardware_revision = 0x08
device_id = 0x0B2C3D
preambles = 5
polling_address = 0

tag = FT-201
descriptor = GAS INSERTION
message = CORVANE INSERTION METER AIR
date = 2019-06-15
final_assembly_number = 100310
sensor_serial_number = 8121

primary_variable = mass_flow
mass_flow.unit = 82            # lb/h
mass_flow.lower_limit = 0
mass_flow.upper_limit = 160000
mass_flow.min_span = 2000
volume_flow.unit = 19          # m3/h
volume_flow.lower_limit = 0
volume_flow.upper_limit = 8800
volume_flow.min_span = 100
standard_flow.unit = 15        # ft3/min
standard_flow.lower_limit = 0
standard_flow.upper_limit = 37000
standard_flow.min_span = 500
velocity.unit = 20             # ft/s
velocity.lower_limit = 0
velocity.upper_limit = 250
velocity.min_span = 5
temperature.unit = 33          # degF
temperature.lower_limit = -40
temperature.upper_limit = 500
temperature.min_span = 10
pressure.unit = 6              # psi
pressure.lower_limit = 0
pressure.upper_limit = 1500
pressure.min_span = 10
frequency.lower_limit = 0
frequency.upper_limit = 2000
frequency.min_span = 10

range.upper = 40000
range.lower = 0
damping = 2

process.flow = 1500            # m3/h at process conditions
process.flow_variation = 0.08
process.flow_period = 90
process.noise = 0.01
process.temperature = 40       # degC
process.temperature_variation = 1
process.pressure = 7           # bar
process.pressure_variation = 0.1
process.density = 8.5
process.standard_density = 1.2047
process.viscosity = 0.019
pipe_id = 7.981
kfactor = 20
low_flow_cutoff = 1
mode = in_service

model_number = VX2-I08-G
part_number = VX2-08-IG-TP-L
top_level_revision = 4
sensor_option = both
display_option = lcd
strut_size = 0.5
calibration_date = 2019-05-28
modification_date = 2019-06-10
modification_number = 1

temperature_source = integrated_rtd
pressure_source = analog_absolute
analog_input.upper = 200       # psi at 20 mA
analog_input.lower = 0
density_source = property_table
lcd_mode = 5                   # PV and totalizer alternating
pulse_output_mode = scaled_pv
upper_range_frequency = 500
totalizer.running = on
totalizer.roll_over = 1e8
totalizer.multiplier = 1000
totalizer.unit = KLB

table.name = COMPRESSED GAS
table.version = 3
table.gas_pressures = 50, 100, 150               # psi absolute
table.gas_temperatures = 32, 100, 200            # degF
table.gas_density = 0.2997, 0.2632, 0.2233; 0.5993, 0.5265, 0.4467; 0.8990, 0.7897, 0.6700
diagnostics.wdrs = 20
diagnostics.mte = 120
diagnostics.mpe = 115
carrier.mode = 2
