// The uninstaller executable of the same architecture, stored at build time
// as a stream of the payload's format (uninstaller_image.cpp is generated
// from lumeuins.exe by the host encoder, cmake/product.cmake). Decoded, it
// is lumeuins.exe byte for byte: uninstaller_image_decoded_size bytes.
#pragma once

extern const unsigned char uninstaller_image[];
extern const unsigned uninstaller_image_size;
extern const unsigned uninstaller_image_decoded_size;
