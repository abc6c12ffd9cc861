// HART manufacturer identification codes. Only codes whose owner we know for
// sure are named; the rest read as "Unknown (<code>)". 0x3D is our own meter's
// maker, Corvane.
#include "link/driver/codec.h"

namespace wendrel {

namespace {

constexpr int kCorvaneManufacturerId = 0x3D;

constexpr CodeText kVendors[] = {
    {0x01, "Acromag"},
    {0x02, "Allen Bradley"},
    {0x03, "Ametek"},
    {0x04, "Analog Devices"},
    {0x05, "Bailey"},
    {0x06, "Beckman"},
    {0x07, "Bell Microsensor"},
    {0x08, "Bourns"},
    {0x09, "Bristol Babcock"},
    {0x0A, "Brooks Instrument"},
    {0x0B, "Chessell"},
    {0x0C, "Combustion Engineering"},
    {0x0D, "Daniel Industries"},
    {0x0E, "Delta"},
    {0x0F, "Dieterich Standard"},
    {0x10, "Dohrmann"},
    {0x11, "Endress+Hauser"},
    {0x12, "Fischer & Porter"},
    {0x13, "Fisher Controls"},
    {0x14, "Foxboro"},
    {0x15, "Fuji"},
    {0x16, "Hartmann & Braun"},
    {0x17, "Honeywell"},
    {0x18, "ITT Barton"},
    {0x19, "Kay Ray/Sensall"},
    {0x1A, "ABB"},
    {0x1B, "Leeds & Northrup"},
    {0x1C, "Leslie"},
    {0x1D, "M-System"},
    {0x1E, "Measurex"},
    {0x1F, "Micro Motion"},
    {0x20, "Moore Industries"},
    {0x21, "Moore Products"},
    {0x22, "Ohkura Electric"},
    {0x23, "Paine"},
    {0x24, "Rochester Instrument Systems"},
    {0x25, "Ronan"},
    {0x26, "Rosemount"},
    {0x28, "Schlumberger"},
    {0x2A, "Siemens"},
    {0x2C, "Toshiba"},
    {0x2D, "Transmation"},
    {0x2E, "Rosemount Analytical"},
    {0x2F, "Metso Automation"},
    {0x30, "Flowserve"},
    {0x31, "Varec"},
    {0x32, "Viatran"},
    {0x33, "Weed Instrument"},
    {0x34, "Westinghouse"},
    {0x35, "Xomox"},
    {0x36, "Yamatake"},
    {0x37, "Yokogawa"},
    {0x38, "Nuovo Pignone"},
    {0x39, "Promac"},
    {0x3A, "Exac"},
    {0x3B, "Mobrey"},
    {0x3C, "Arcom Control Systems"},
    {kCorvaneManufacturerId, "Corvane"},
    {0x3E, "Smar"},
    {0x3F, "Foxboro Eckardt"},
    {0x40, "Measurement Technology"},
    {0x42, "Samson"},
    {0x45, "Krohne"},
    {0x47, "Druck"},
    {0x4E, "Drexelbrook"},
    {0x56, "Magnetrol"},
    {0x62, "VEGA"},
};

static_assert(CodesStrictlyAscending(kVendors), "the lookup needs ascending, unique codes");

}  // namespace

std::string GetHartVendor(int code) { return LookupCodeText(kVendors, code); }

}  // namespace wendrel
