# An older liquid wafer meter: software revision 8 (no K-factor or totalizer
# settings in the utility's report), otherwise the default meter.
software_revision = 8
device_revision = 1
hardware_revision = 0x05
device_id = 0x01F2A3
tag = FT-017
descriptor = OLD LINE
message = CORVANE VORTEX METER
date = 1998-04-20
final_assembly_number = 87001
sensor_serial_number = 1203
model_number = VX1-W03-L
part_number = VX1-03-WL-N
top_level_revision = 1
sensor_option = none
display_option = none
calibration_date = 1998-04-02
modification_date = 1998-04-02
modification_number = 0
temperature_source = user_defined
user_temperature = 70
pressure_source = user_defined
pipe_id = 3.068
kfactor = 65
