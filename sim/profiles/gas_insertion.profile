# Gas insertion meter in an 8 inch line (compressed air at about 7 bar),
# primary variable mass flow in lb/h.
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
pipe_id = 7.981
kfactor = 20
