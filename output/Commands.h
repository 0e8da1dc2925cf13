// SPDX-License-Identifier: Apache-2.0
// The printer's command set: every byte sequence this driver sends to the
// printer is made from the entries below, and nowhere else.
//
//   Setup block, once per raster job (Setup.cpp), each ending in CR LF:
//     SL<length>,24,<G|C|B>[,<offset>]   label length in dots, gap 24, sensor
//                                        (gap, continuous, black mark); the
//                                        offset field only for models below 38
//     SA<offset>                         offset in dots (models 38 and up)
//     SW<width>                          print width in dots
//     STd | STt                          direct thermal | thermal transfer
//     SD<darkness>                       darkness
//     SM<x>,<y>                          margins in dots
//     SS<speed>                          print speed
//     TA<offset>                         tear/cut offset in dots
//     CUTn | CUTy,<period>               no cut | cut every <period> labels
//     RWDy                               rewinder on
//
//   Per page (Rotation.cpp, Band.cpp):
//     SOT                                orientation: top first
//     SOB                                orientation: bottom first (half turn)
//     "LD" 00 00 start rows bpl count, then rows       raw band (16-bit LE fields)
//     "LCR" 00 00 00 start bpl count, then RLE data    compressed band
//     CR LF P1[,<copies>] CR LF          print the page
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tvl {

namespace command {

inline constexpr char kLineEnd[] = "\r\n";

inline constexpr char kLength[] = "SL%d,%d";
inline constexpr char kLengthSensor[] = ",%c";
inline constexpr char kLengthOffset[] = ",%d";
inline constexpr int32_t kLengthGap = 24;  // second field of SL, never scaled
inline constexpr char kOffset[] = "SA%d\r\n";
inline constexpr char kWidth[] = "SW%d\r\n";
inline constexpr char kMediaDirectThermal[] = "STd\r\n";
inline constexpr char kMediaThermalTransfer[] = "STt\r\n";
inline constexpr char kDarkness[] = "SD%d\r\n";
inline constexpr char kMargin[] = "SM%d,%d\r\n";
inline constexpr char kSpeed[] = "SS%d\r\n";
inline constexpr char kTearOffset[] = "TA%d\r\n";
inline constexpr char kCutterOff[] = "CUTn\r\n";
inline constexpr char kCutterOn[] = "CUTy,%d\r\n";
inline constexpr char kRewinderOn[] = "RWDy\r\n";

inline constexpr char kOrientationTop[] = "SOT\r\n";
inline constexpr char kOrientationBottom[] = "SOB\r\n";

inline constexpr std::array<uint8_t, 4> kRawBandTag = {'L', 'D', 0x00, 0x00};
inline constexpr std::array<uint8_t, 6> kCompressedBandTag = {'L', 'C', 'R', 0x00, 0x00, 0x00};
inline constexpr size_t kRawBandHeadSize = kRawBandTag.size() + 6;
inline constexpr size_t kCompressedBandHeadSize = kCompressedBandTag.size() + 6;
inline constexpr uint32_t kMaxBandRows = 200;

inline constexpr char kPrint[] = "\r\nP1";
inline constexpr char kPrintCopies[] = ",%d";

// Labels the printer makes of a page whose print command carries `copies`:
// the count when it is 2 or more, else one.
constexpr int32_t labelsPrinted(int32_t copies)
{
    return copies >= 2 ? copies : 1;
}

// Sensor letter of the length command.
constexpr char sensorLetter(int32_t sensorType)
{
    return sensorType == 0 ? 'G' : sensorType == 1 ? 'C' : 'B';
}

}  // namespace command

}  // namespace tvl
