// SPDX-License-Identifier: Apache-2.0
#include "output/Setup.h"

#include <cerrno>

#include "output/Commands.h"
#include "settings/Models.h"
#include "settings/Units.h"

namespace tvl {

// Models below this number take the offset as a fourth field of the length
// command; the others get a separate "SA" command.
static constexpr int32_t kFirstModelWithOffsetCommand = 38;

void setLength(Output& out, int32_t sensorType, int32_t lengthDot, int32_t bmOffset, int32_t modelNumer)
{
    const char letter = command::sensorLetter(sensorType);
    const int32_t offsetDots = millimetresToDots(bmOffset, out.dot);
    printerf(out, command::kLength, lengthDot, command::kLengthGap);
    printerf(out, command::kLengthSensor, letter);
    if (bmOffset != 0 && modelNumer < kFirstModelWithOffsetCommand) {
        printerf(out, command::kLengthOffset, offsetDots);
    }
    writePrinter(out, command::kLineEnd);
    driverLog(out.log, "setLength() : SL%d,%d,%c,%d\n", lengthDot, command::kLengthGap, letter, offsetDots);
    if (modelNumer >= kFirstModelWithOffsetCommand) {
        printerf(out, command::kOffset, offsetDots);
        driverLog(out.log, "setLength() : SA%d\n", offsetDots);
    }
}

void setWidth(Output& out, int32_t widthDot)
{
    printerf(out, command::kWidth, widthDot);
    driverLog(out.log, "setWidth() : SW%d\n", widthDot);
}

void setMediaType(Output& out, int32_t mediaType)
{
    if (mediaType == 0) {
        writePrinter(out, command::kMediaDirectThermal);
        driverLog(out.log, "setMediaType() : STd\n");
    } else if (mediaType == 1) {
        writePrinter(out, command::kMediaThermalTransfer);
        driverLog(out.log, "setMediaType() : STt\n");
    }
}

void setDarkness(Output& out, int32_t darkness)
{
    printerf(out, command::kDarkness, darkness);
    driverLog(out.log, "setDarkness() : SD%d\n", darkness);
}

void setMargin(Output& out, int32_t xMargin, int32_t yMargin)
{
    const int32_t x = millimetresToDots(xMargin, out.dot);
    const int32_t y = millimetresToDots(yMargin, out.dot);
    printerf(out, command::kMargin, x, y);
    driverLog(out.log, "setMargin() : SM%d,%d\n", x, y);
}

void setSpeed(Output& out, int32_t printSpeed)
{
    printerf(out, command::kSpeed, printSpeed);
    driverLog(out.log, "setSpeed() : SS%d\n", printSpeed);
}

void setToOffset(Output& out, int32_t toOffset)
{
    const int32_t dots = millimetresToDots(toOffset, out.dot);
    printerf(out, command::kTearOffset, dots);
    driverLog(out.log, "setToOffset() : TA%d\n", dots);
}

void setCutter(Output& out, int32_t cutter, int32_t cutPeriod)
{
    if (cutter == 0) {
        writePrinter(out, command::kCutterOff);
        driverLog(out.log, "setCutter() : CUTn\n");
    } else {
        printerf(out, command::kCutterOn, cutPeriod);
        driverLog(out.log, "setCutter() : CUTy\n");
    }
}

void setRewinder(Output& out, int32_t /*rewinder*/)
{
    writePrinter(out, command::kRewinderOn);
    driverLog(out.log, "setRewinder() : RWDy\n");
}

PageResult primaryProcess(Output& out, Settings settings)
{
    setLength(out, settings.sensorType, settings.lengthDot, settings.bmOffset, settings.modelNumer);
    setWidth(out, settings.widthDot);
    setMediaType(out, settings.mediaType);
    setDarkness(out, settings.darkness);
    setMargin(out, settings.xMargin, settings.yMargin);
    setSpeed(out, settings.printSpeed);
    setToOffset(out, settings.toOffset);
    if (isRewinderModel(settings.modelNumer) && settings.rewinder == 1) {
        setRewinder(out, settings.rewinder);
    } else {
        setCutter(out, settings.cutter, settings.cutPeriod);
    }
    if (!out.printer.flush()) {
        return pageFailed(PageError::PrinterWrite, static_cast<uint64_t>(errno));
    }
    return {};
}

}  // namespace tvl
