// The uninstaller executable of the same architecture, embedded unchanged at
// build time (uninstaller_image.cpp is generated from lumeuins.exe).
#pragma once

extern const unsigned char uninstaller_image[];
extern const unsigned uninstaller_image_size;
