#include "output/Setup.h"

#include <cstdio>

#include "output/Commands.h"
#include "output/PrinterStream.h"
#include "settings/Models.h"
#include "settings/Units.h"

// Models below this number take the offset as a fourth field of the length
// command; the others get a separate "SA" command.
static constexpr int32_t kFirstModelWithOffsetCommand = 38;

void setLength(int32_t sensorType, int32_t lengthDot, int32_t bmOffset, int32_t modelNumer)
{
    const char letter = command::sensorLetter(sensorType);
    const int32_t offsetDots = millimetresToDots(bmOffset, Dot);
    printf(command::kLength, lengthDot, command::kLengthGap);
    printf(command::kLengthSensor, letter);
    if (bmOffset != 0 && modelNumer < kFirstModelWithOffsetCommand) {
        printf(command::kLengthOffset, offsetDots);
    }
    fputs(command::kLineEnd, stdout);
    fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : setLength() : SL%d,%d,%c,%d\n", lengthDot,
            command::kLengthGap, letter, offsetDots);
    if (modelNumer >= kFirstModelWithOffsetCommand) {
        printf(command::kOffset, offsetDots);
        fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : setLength() : SA%d\n", offsetDots);
    }
}

void setWidth(int32_t widthDot)
{
    printf(command::kWidth, widthDot);
    fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : setWidth() : SW%d\n", widthDot);
}

void setMediaType(int32_t mediaType)
{
    if (mediaType == 0) {
        fputs(command::kMediaDirectThermal, stdout);
        fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : setMediaType() : STd\n");
    } else if (mediaType == 1) {
        fputs(command::kMediaThermalTransfer, stdout);
        fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : setMediaType() : STt\n");
    }
}

void setDarkness(int32_t darkness)
{
    printf(command::kDarkness, darkness);
    fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : setDarkness() : SD%d\n", darkness);
}

void setMargin(int32_t xMargin, int32_t yMargin)
{
    const int32_t x = millimetresToDots(xMargin, Dot);
    const int32_t y = millimetresToDots(yMargin, Dot);
    printf(command::kMargin, x, y);
    fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : setMargin() : SM%d,%d\n", x, y);
}

void setSpeed(int32_t printSpeed)
{
    printf(command::kSpeed, printSpeed);
    fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : setSpeed() : SS%d\n", printSpeed);
}

void setToOffset(int32_t toOffset)
{
    const int32_t dots = millimetresToDots(toOffset, Dot);
    printf(command::kTearOffset, dots);
    fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : setToOffset() : TA%d\n", dots);
}

void setCutter(int32_t cutter, int32_t cutPeriod)
{
    if (cutter == 0) {
        fputs(command::kCutterOff, stdout);
        fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : setCutter() : CUTn\n");
    } else {
        printf(command::kCutterOn, cutPeriod);
        fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : setCutter() : CUTy\n");
    }
}

void setRewinder(int32_t /*rewinder*/)
{
    fputs(command::kRewinderOn, stdout);
    fprintf(stderr, "TAVELIN Label Driver DEBUG MSG : setRewinder() : RWDy\n");
}

int primaryProcess(Settings settings)
{
    setLength(settings.sensorType, settings.lengthDot, settings.bmOffset, settings.modelNumer);
    setWidth(settings.widthDot);
    setMediaType(settings.mediaType);
    setDarkness(settings.darkness);
    setMargin(settings.xMargin, settings.yMargin);
    setSpeed(settings.printSpeed);
    setToOffset(settings.toOffset);
    if (isRewinderModel(settings.modelNumer) && settings.rewinder == 1) {
        setRewinder(settings.rewinder);
    } else {
        setCutter(settings.cutter, settings.cutPeriod);
    }
    return flushPrinterStream();
}
