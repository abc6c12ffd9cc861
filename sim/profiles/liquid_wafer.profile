# 2 inch liquid wafer meter (water), primary variable volume flow in US gal/min.
# These are the values of the default meter, written out.
meter_type = liquid
meter_style = wafer
device_revision = 1
software_revision = 12
hardware_revision = 0x08
device_id = 0x0A1B2C
preambles = 5
polling_address = 0

tag = FT-101
descriptor = VORTEX FLOW
message = CORVANE VORTEX METER
date = 2000-01-01
final_assembly_number = 100200
sensor_serial_number = 4711

primary_variable = volume_flow
volume_flow.unit = 16          # US gal/min
volume_flow.lower_limit = 0
volume_flow.upper_limit = 260
volume_flow.min_span = 5
mass_flow.unit = 81            # lb/min
mass_flow.lower_limit = 0
mass_flow.upper_limit = 2200
mass_flow.min_span = 40
standard_flow.unit = 15        # ft3/min
standard_flow.lower_limit = 0
standard_flow.upper_limit = 35
standard_flow.min_span = 1
velocity.unit = 20             # ft/s
velocity.lower_limit = 0
velocity.upper_limit = 25
velocity.min_span = 1
temperature.unit = 33          # degF
temperature.lower_limit = -40
temperature.upper_limit = 500
temperature.min_span = 10
pressure.unit = 6              # psi
pressure.lower_limit = 0
pressure.upper_limit = 1500
pressure.min_span = 10
frequency.lower_limit = 0
frequency.upper_limit = 500
frequency.min_span = 5

range.upper = 250
range.lower = 0
damping = 1

process.flow = 30              # m3/h
process.flow_variation = 0.05
process.flow_period = 120
process.noise = 0.005
process.temperature = 20       # degC
process.temperature_variation = 0.5
process.pressure = 3           # bar
process.pressure_variation = 0.05
process.density = 998
process.standard_density = 999.1
pipe_id = 2.067                # inches, schedule 40
kfactor = 220                  # pulses per ft3
