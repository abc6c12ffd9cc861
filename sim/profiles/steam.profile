# 4 inch steam wafer meter on saturated steam at about 10 bar, primary
# variable mass flow in kg/h; temperature sensor, pressure and density from
# the steam table.
meter_type = steam
meter_style = wafer
device_revision = 1
software_revision = 18
hardware_revision = 0x08
device_id = 0x0C3D4E
tag = FT-301
descriptor = STEAM HEADER
message = CORVANE VORTEX METER STEAM
date = 2021-11-02
final_assembly_number = 100420
sensor_serial_number = 9304

primary_variable = mass_flow
mass_flow.unit = 75            # kg/h
mass_flow.lower_limit = 0
mass_flow.upper_limit = 10000
mass_flow.min_span = 100
volume_flow.unit = 19          # m3/h
volume_flow.lower_limit = 0
volume_flow.upper_limit = 2000
volume_flow.min_span = 20
standard_flow.unit = 19
standard_flow.lower_limit = 0
standard_flow.upper_limit = 10000
standard_flow.min_span = 100
velocity.unit = 21             # m/s
velocity.lower_limit = 0
velocity.upper_limit = 80
velocity.min_span = 1
temperature.unit = 32          # degC
temperature.lower_limit = -40
temperature.upper_limit = 400
temperature.min_span = 10
pressure.unit = 7              # bar
pressure.lower_limit = 0
pressure.upper_limit = 100
pressure.min_span = 1
frequency.lower_limit = 0
frequency.upper_limit = 1000
frequency.min_span = 10
range.upper = 5000
range.lower = 0
damping = 2

process.flow = 400             # m3/h
process.flow_variation = 0.1
process.flow_period = 150
process.noise = 0.01
process.temperature = 180      # degC
process.temperature_variation = 1
process.pressure = 10          # bar
process.pressure_variation = 0.2
process.density = 5.16
process.standard_density = 0.804
process.viscosity = 0.015
pipe_id = 4.026
kfactor = 30
low_flow_cutoff = 5

model_number = VX2-W04-S
part_number = VX2-04-WS-T1-L
top_level_revision = 5
sensor_option = temperature
display_option = lcd
strut_size = 1.1
calibration_date = 2021-10-18
modification_date = 2021-10-25
modification_number = 0

temperature_source = integrated_rtd
pressure_source = steam_table
density_source = steam_table
table.name = SATURATED STEAM
table.version = 2
