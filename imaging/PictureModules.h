#pragma once
// Start-up and shutdown of the picture modules. The window and the command
// line call StartPictureModules before anything else, so the registry's order
// (JPEG, then TGA, then DDS after the built-in four) never depends on static
// initialisation order.

namespace quorin {

// Registers jpeg, jpg, tga and dds in that order; a second call does nothing.
void StartPictureModules();
// Removes DDS, then TGA, then JPEG.
void StopPictureModules();

} // namespace quorin
