# A liquid wafer meter in service with password protection on: entering edit
# mode needs command 247 with the password CVN1.
device_id = 0x0A1B3C
tag = FT-102
descriptor = PROTECTED
mode = in_service
password = CVN1
password_protection = on
