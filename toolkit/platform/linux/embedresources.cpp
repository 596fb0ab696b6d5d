// Build-time generator: turns a resource list (lines "ID TYPE FILENAME [SLICES]", '#' comments)
// and the files it names into C++ source defining gravelix_resource_table.
//
// Usage: gravelix_embed_resources LIST OUTPUT.cpp
// File names are relative to the list's folder. Any malformed line, duplicate (type, id) or
// unreadable file fails the build with a message naming the line. Every PNG is decoded here with
// the plug-in's own decoder to record its pixel size (0 x 0 when it does not decode), so that
// the plug-in needs no decoding to learn an image's size. A PNG listed with SLICES is embedded
// as that many PNGs of equal height, top to bottom (written by cairo, and checked to decode to
// the image's own pixels), so that a paint decodes only the slices it shows: a filmstrip's
// pictures, or a panel's bands that two threads can decode at once.

#include "pngdecoder.h"
#include "pngslice.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

struct Item {
    std::string type;
    long id = 0;
    Bytes bytes;
    int width = 0;
    int height = 0;
    // One PNG per slice of an image listed with SLICES; then `bytes` is not embedded.
    std::vector<Bytes> slices;
};

void measure(Item& item) {
    if (item.type != "PNG") {
        return;
    }
    cairo_surface_t* image = Toolkit::LinuxPlatform::decodePng(
        item.bytes.data(), static_cast<std::uint32_t>(item.bytes.size()));
    if (!image) {
        return;
    }
    item.width = cairo_image_surface_get_width(image);
    item.height = cairo_image_surface_get_height(image);
    cairo_surface_destroy(image);
}

bool fail(const std::string& where, const std::string& what) {
    std::cerr << where << ": error: " << what << "\n";
    return false;
}

// A whole decimal number from `low` to `high`.
bool numberIn(const std::string& text, long low, long high, long& value) {
    std::size_t used = 0;
    try {
        value = std::stol(text, &used, 10);
    } catch (...) {
        return false;
    }
    return used == text.size() && value >= low && value <= high;
}

bool sameRows(cairo_surface_t* a, int aTop, cairo_surface_t* b, int rows) {
    cairo_surface_flush(a);
    cairo_surface_flush(b);
    const int strideA = cairo_image_surface_get_stride(a);
    const int strideB = cairo_image_surface_get_stride(b);
    const auto bytes = static_cast<std::size_t>(cairo_image_surface_get_width(a)) * 4;
    for (int y = 0; y < rows; ++y) {
        if (std::memcmp(cairo_image_surface_get_data(a) + std::ptrdiff_t(aTop + y) * strideA,
                        cairo_image_surface_get_data(b) + std::ptrdiff_t(y) * strideB, bytes)) {
            return false;
        }
    }
    return true;
}

// Cuts a measured PNG into `count` bands of equal height, each written as a PNG of its own.
bool slice(Item& item, long count, const std::string& where) {
    if (item.type != "PNG" || item.width == 0 || count < 2 || item.height % count != 0) {
        return fail(where, "SLICES needs a PNG that decodes, whose height it divides");
    }
    cairo_surface_t* whole = Toolkit::LinuxPlatform::decodePng(
        item.bytes.data(), static_cast<std::uint32_t>(item.bytes.size()));
    const int rows = item.height / static_cast<int>(count);
    bool ok = whole != nullptr;
    for (int i = 0; ok && i < count; ++i) {
        Bytes png = Toolkit::LinuxPlatform::sliceAsPng(whole, i * rows, rows);
        ok = !png.empty();
        // Premultiplied pixels written unpremultiplied and read back: checked, not assumed.
        cairo_surface_t* back = ok ? Toolkit::LinuxPlatform::decodePng(
                                         png.data(), static_cast<std::uint32_t>(png.size()))
                                   : nullptr;
        ok = back && cairo_image_surface_get_width(back) == item.width &&
             cairo_image_surface_get_height(back) == rows && sameRows(whole, i * rows, back, rows);
        if (back) {
            cairo_surface_destroy(back);
        }
        if (!ok) {
            fail(where, "slice " + std::to_string(i) + " does not keep the image's pixels");
        }
        item.slices.push_back(std::move(png));
    }
    if (whole) {
        cairo_surface_destroy(whole);
    }
    return ok;
}

bool readList(const std::filesystem::path& list, std::vector<Item>& items) {
    std::ifstream in(list);
    if (!in) {
        return fail(list.string(), "cannot read the resource list");
    }
    std::set<std::pair<std::string, long>> seen;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string where = list.string() + ":" + std::to_string(number);
        if (auto hash = line.find('#'); hash != std::string::npos) {
            line.erase(hash);
        }
        std::istringstream fields(line);
        std::string idText, type, file, slicesText, extra;
        if (!(fields >> idText)) {
            continue; // blank or comment only
        }
        if (!(fields >> type >> file) || ((fields >> slicesText) && (fields >> extra))) {
            return fail(where, "expected \"ID TYPE FILENAME [SLICES]\"");
        }
        long slices = 0;
        if (!slicesText.empty() && !numberIn(slicesText, 2, 4096, slices)) {
            return fail(where, "SLICES must be a number from 2 to 4096: " + slicesText);
        }
        long id = 0;
        if (!numberIn(idText, 1, 0xFFFF, id)) {
            return fail(where, "id must be a number from 1 to 65535: " + idText);
        }
        for (char c : type) {
            if (!(c >= 'A' && c <= 'Z') && !(c >= '0' && c <= '9') && c != '_') {
                return fail(where, "type must be upper-case letters, digits or '_': " + type);
            }
        }
        if (!seen.insert({type, id}).second) {
            return fail(where, "duplicate resource " + type + " " + idText);
        }
        const auto path = list.parent_path() / file;
        std::ifstream data(path, std::ios::binary);
        if (!data) {
            return fail(where, "cannot read " + path.string());
        }
        Item item;
        item.type = type;
        item.id = id;
        item.bytes.assign(std::istreambuf_iterator<char>(data), std::istreambuf_iterator<char>());
        if (item.bytes.empty() || item.bytes.size() > 0xFFFFFFFFu) {
            return fail(where, "empty or oversized file " + path.string());
        }
        measure(item);
        if (slices > 0 && !slice(item, slices, where)) {
            return false;
        }
        items.push_back(std::move(item));
    }
    return true;
}

void appendArray(std::string& out, const std::string& name, const Bytes& bytes) {
    static const char digits[] = "0123456789abcdef";
    out += "alignas(16) const unsigned char " + name + "[] = {";
    for (std::size_t b = 0; b < bytes.size(); ++b) {
        out += (b % 20 == 0) ? "\n" : "";
        out += "0x";
        out += digits[bytes[b] >> 4];
        out += digits[bytes[b] & 15];
        out += ',';
    }
    out += "\n};\n";
}

std::string render(const std::vector<Item>& items) {
    std::string out = "// Generated by gravelix_embed_resources; do not edit.\n"
                      "#include \"resourcetable.h\"\n\nnamespace {\n";
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::string name = "data" + std::to_string(i);
        if (items[i].slices.empty()) {
            appendArray(out, name, items[i].bytes);
            continue;
        }
        for (std::size_t f = 0; f < items[i].slices.size(); ++f) {
            appendArray(out, name + "_" + std::to_string(f), items[i].slices[f]);
        }
        out +=
            "const Toolkit::LinuxPlatform::ResourceSlice slices" + std::to_string(i) + "[] = {\n";
        for (std::size_t f = 0; f < items[i].slices.size(); ++f) {
            out += "    {" + name + "_" + std::to_string(f) + ", " +
                   std::to_string(items[i].slices[f].size()) + "u},\n";
        }
        out += "};\n";
    }
    out += "} // namespace\n\nextern \"C\" const Toolkit::LinuxPlatform::ResourceEntry "
           "gravelix_resource_table[] = {\n";
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Item& item = items[i];
        const bool sliced = !item.slices.empty();
        out += "    {\"" + item.type + "\", " + std::to_string(item.id) + ", " +
               (sliced ? "nullptr, 0u, "
                       : "data" + std::to_string(i) + ", " + std::to_string(item.bytes.size()) +
                             "u, ") +
               std::to_string(item.width) + "u, " + std::to_string(item.height) + "u, " +
               std::to_string(item.slices.size()) + "u, " +
               (sliced ? "slices" + std::to_string(i) : std::string("nullptr")) + "},\n";
    }
    out += "    {nullptr, 0, nullptr, 0u, 0u, 0u, 0u, nullptr},\n};\n";
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: gravelix_embed_resources LIST OUTPUT.cpp\n";
        return 2;
    }
    std::vector<Item> items;
    if (!readList(argv[1], items)) {
        return 1;
    }
    // Write through a temporary so an interrupted build never leaves a truncated source behind.
    const std::filesystem::path output = argv[2];
    const auto temporary = output.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << render(items);
        if (!out.flush()) {
            return fail(temporary, "cannot write"), 1;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, output, error);
    if (error) {
        return fail(output.string(), error.message()), 1;
    }
    return 0;
}
