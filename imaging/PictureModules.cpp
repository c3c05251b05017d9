#include "PictureModules.h"

#include "DDS.h"
#include "JPEG.h"
#include "TGA.h"

namespace quorin {

namespace {
bool started = false;
} // namespace

void StartPictureModules()
{
    if (started)
        return;
    RegisterJPEGFormats();
    RegisterTGAFormat();
    RegisterDDSFormat();
    started = true;
}

void StopPictureModules()
{
    if (!started)
        return;
    UnregisterDDSFormat();
    UnregisterTGAFormat();
    UnregisterJPEGFormats();
    started = false;
}

} // namespace quorin
