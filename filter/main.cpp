// rastertoTvlLabel: the CUPS filter that turns a raster job into the label
// printer's command stream. See filter/Job.h.
#include "filter/Job.h"

int main(int argc, char* argv[])
{
    return runJob(argc, argv);
}
