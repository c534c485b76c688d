#include "engine/audio/PngFile.h"

#include <png.h>

#include "engine/io/AtomicFile.h"

namespace vandrel {

namespace {

// libpng's simplified interface: it keeps its error jumps to itself, so no
// longjmp crosses this program's frames.
png_image ImageHeader(const RgbImage& image) {
    png_image header{};
    header.version = PNG_IMAGE_VERSION;
    header.width = static_cast<png_uint_32>(image.width());
    header.height = static_cast<png_uint_32>(image.height());
    header.format = PNG_FORMAT_RGB;
    header.flags = PNG_IMAGE_FLAG_FAST;
    return header;
}

}  // namespace

std::optional<std::string> EncodePng(const RgbImage& image, std::string* error) {
    const auto fail = [error](const std::string& why) -> std::optional<std::string> {
        if (error != nullptr) {
            *error = why;
        }
        return std::nullopt;
    };
    if (image.width() == 0) {
        return fail("the picture is empty");
    }
    const auto stride = static_cast<png_int_32>(image.stride());
    // First the size the file will take, then the file itself.
    png_image header = ImageHeader(image);
    png_alloc_size_t size = 0;
    if (png_image_write_get_memory_size(header, size, 0, image.pixels().data(), stride, nullptr) ==
        0) {
        const std::string why = header.message;
        png_image_free(&header);
        return fail("the PNG file cannot be made: " + why);
    }
    std::string bytes(size, '\0');
    header = ImageHeader(image);
    if (png_image_write_to_memory(&header, bytes.data(), &size, 0, image.pixels().data(), stride,
                                  nullptr) == 0) {
        const std::string why = header.message;
        png_image_free(&header);
        return fail("the PNG file cannot be made: " + why);
    }
    bytes.resize(size);
    return bytes;
}

bool WritePngFile(const std::string& path, const RgbImage& image, std::string* error) {
    const std::optional<std::string> bytes = EncodePng(image, error);
    return bytes && WriteFileAtomically(path, *bytes, error);
}

}  // namespace vandrel
