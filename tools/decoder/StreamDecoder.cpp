// SPDX-License-Identifier: Apache-2.0
#include "tools/decoder/StreamDecoder.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>

#include "output/Commands.h"
#include "settings/ParseNumber.h"

namespace tvl {

namespace inspect {

namespace {

constexpr uint8_t kCr = 0x0D;
constexpr uint8_t kLf = 0x0A;

uint32_t le16(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8);
}

bool startsWith(std::span<const uint8_t> bytes, size_t at, std::span<const uint8_t> prefix)
{
    return at <= bytes.size() && bytes.size() - at >= prefix.size() &&
           std::memcmp(bytes.data() + at, prefix.data(), prefix.size()) == 0;
}

// The bytes left at `at` are a beginning of `tag` cut short by the stream's
// end, and hold one of its zero bytes: a band head, not text.
bool truncatedTag(std::span<const uint8_t> bytes, size_t at, std::span<const uint8_t> tag)
{
    const size_t left = bytes.size() - at;
    if (left == 0 || left >= tag.size() || std::memcmp(bytes.data() + at, tag.data(), left) != 0) {
        return false;
    }
    return std::memchr(bytes.data() + at, 0, left) != nullptr;
}

// Matches `text` against `pattern`: '#' a signed decimal that fits 32 bits,
// '@' a sensor letter (G, C or B), anything else itself.
bool matchArgs(std::string_view text, std::string_view pattern)
{
    size_t t = 0;
    for (const char p : pattern) {
        if (p == '#') {
            size_t start = t;
            if (t < text.size() && text[t] == '-') {
                ++t;
            }
            const size_t digits = t;
            int64_t value = 0;
            while (t < text.size() && text[t] >= '0' && text[t] <= '9') {
                value = value * 10 + (text[t] - '0');
                if (value > 2147483648LL) {
                    return false;
                }
                ++t;
            }
            if (t == digits || (value == 2147483648LL && text[start] != '-')) {
                return false;
            }
        } else if (p == '@') {
            if (t >= text.size() || (text[t] != 'G' && text[t] != 'C' && text[t] != 'B')) {
                return false;
            }
            ++t;
        } else {
            if (t >= text.size() || text[t] != p) {
                return false;
            }
            ++t;
        }
    }
    return t == text.size();
}

struct CommandForm {
    const char* name;
    const char* pattern;
    ItemKind kind;
};

// Every text command the driver writes (output/Commands.h), as
// mnemonic + argument pattern.
constexpr CommandForm kCommandForms[] = {
    {"SOT", "", ItemKind::Orientation},   {"SOB", "", ItemKind::Orientation},
    {"SL", "#,#,@", ItemKind::Setup},     {"SL", "#,#,@,#", ItemKind::Setup},
    {"SA", "#", ItemKind::Setup},         {"SW", "#", ItemKind::Setup},
    {"ST", "d", ItemKind::Setup},         {"ST", "t", ItemKind::Setup},
    {"SD", "#", ItemKind::Setup},         {"SM", "#,#", ItemKind::Setup},
    {"SS", "#", ItemKind::Setup},         {"TA", "#", ItemKind::Setup},
    {"CUT", "n", ItemKind::Setup},        {"CUT", "y,#", ItemKind::Setup},
    {"RWD", "y", ItemKind::Setup},        {"P1", "", ItemKind::Print},
    {"P1", ",#", ItemKind::Print},
};

const CommandForm* findCommand(std::string_view line)
{
    for (const CommandForm& form : kCommandForms) {
        const std::string_view name(form.name);
        if (line.substr(0, name.size()) == name && matchArgs(line.substr(name.size()), form.pattern)) {
            return &form;
        }
    }
    return nullptr;
}

// Offset of the next CR LF at or after `at`, or the stream's size.
size_t findLineEnd(std::span<const uint8_t> bytes, size_t at)
{
    for (size_t i = at; i + 1 < bytes.size(); ++i) {
        if (bytes[i] == kCr && bytes[i + 1] == kLf) {
            return i;
        }
    }
    return bytes.size();
}

std::string_view viewOf(std::span<const uint8_t> bytes, size_t from, size_t to)
{
    return std::string_view(reinterpret_cast<const char*>(bytes.data()) + from, to - from);
}

class Decoder {
public:
    explicit Decoder(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    void run(DecodedStream* out)
    {
        out_ = out;
        out_->streamBytes = bytes_.size();
        size_t at = 0;
        while (at < bytes_.size() && out_->ok) {
            at = step(at);
        }
        if (out_->ok) {
            endText();
            out_->unprintedBands = canvas_.bands;
        }
    }

private:
    std::span<const uint8_t> bytes_;
    DecodedStream* out_ = nullptr;
    Page canvas_;                 // the page the bands build
    uint32_t capacityRows_ = 0;   // rows the canvas can hold
    bool bottomFirst_ = false;
    bool inText_ = false;
    size_t textStart_ = 0;
    size_t textEnd_ = 0;

    void fail(size_t offset, const std::string& message)
    {
        endText();
        out_->ok = false;
        out_->errorOffset = offset;
        out_->error = message;
    }

    void endText()
    {
        if (inText_) {
            Item item;
            item.kind = ItemKind::Text;
            item.offset = textStart_;
            item.length = textEnd_ - textStart_;
            out_->items.push_back(std::move(item));
            inText_ = false;
        }
    }

    void addItem(Item item)
    {
        endText();
        out_->items.push_back(std::move(item));
    }

    // Decodes what starts at `at`; returns where the next thing starts.
    size_t step(size_t at)
    {
        if (startsWith(bytes_, at, command::kRawBandTag)) {
            return band(at, false);
        }
        if (startsWith(bytes_, at, command::kCompressedBandTag)) {
            return band(at, true);
        }
        if (truncatedTag(bytes_, at, command::kRawBandTag) ||
            truncatedTag(bytes_, at, command::kCompressedBandTag)) {
            const bool compressed = bytes_[at + 1] == 'C';
            fail(at, std::string(compressed ? "compressed" : "raw") + " band head truncated: " +
                         std::to_string(bytes_.size() - at) + " of " +
                         std::to_string(compressed ? command::kCompressedBandHeadSize
                                                   : command::kRawBandHeadSize) +
                         " bytes");
            return bytes_.size();
        }
        // The print command as the driver writes it begins with its own CR LF.
        if (at + 2 <= bytes_.size() && bytes_[at] == kCr && bytes_[at + 1] == kLf) {
            const size_t end = findLineEnd(bytes_, at + 2);
            const std::string_view line = viewOf(bytes_, at + 2, end);
            const CommandForm* form = findCommand(line);
            if (form != nullptr && form->kind == ItemKind::Print && end < bytes_.size()) {
                print(at, end + 2, line);
                return end + 2;
            }
        }
        const size_t end = findLineEnd(bytes_, at);
        const std::string_view line = viewOf(bytes_, at, end);
        const CommandForm* form = findCommand(line);
        if (form == nullptr) {
            if (!inText_) {
                inText_ = true;
                textStart_ = at;
            }
            textEnd_ = std::min(end + 2, bytes_.size());
            return textEnd_;
        }
        if (end == bytes_.size()) {
            fail(at, "command \"" + std::string(line) + "\" not ended by CR LF");
            return end;
        }
        if (form->kind == ItemKind::Print) {
            print(at, end + 2, line);
            return end + 2;
        }
        Item item;
        item.kind = form->kind;
        item.offset = at;
        item.length = end + 2 - at;
        item.name = form->name;
        item.args = std::string(line.substr(item.name.size()));
        // matchArgs has checked the numbers: each fits 32 bits. SL's
        // "1219,24,G" gives its first field, read up to the comma.
        if (item.name == "SL") {
            out_->hasLength = true;
            out_->labelLength = static_cast<int32_t>(std::strtol(item.args.c_str(), nullptr, 10));
        } else if (item.name == "SW") {
            out_->hasWidth = parseInt32(item.args.c_str(), INT32_MIN, INT32_MAX, &out_->labelWidth);
        } else if (item.name == "SOT") {
            bottomFirst_ = false;
        } else if (item.name == "SOB") {
            bottomFirst_ = true;
        }
        addItem(std::move(item));
        return end + 2;
    }

    void print(size_t at, size_t next, std::string_view line)
    {
        Item item;
        item.kind = ItemKind::Print;
        item.offset = at;
        item.length = next - at;
        item.name = "P1";
        item.args = std::string(line.substr(2));
        // "P1" alone prints once; "P1,N" N times (matchArgs has checked
        // that N fits 32 bits).
        item.copies = 1;
        if (!item.args.empty() && !parseInt32(item.args.c_str() + 1, INT32_MIN, INT32_MAX, &item.copies)) {
            item.copies = 0;
        }
        const int32_t copies = item.copies;
        addItem(std::move(item));

        Page page = std::move(canvas_);
        page.bottomFirst = bottomFirst_;
        page.copies = copies;
        out_->pages.push_back(std::move(page));
        canvas_ = Page{};
        capacityRows_ = 0;
    }

    // Makes the canvas `rows` rows high (at least), keeping what it holds;
    // new rows are white.
    bool growCanvas(uint32_t rows, uint32_t bytesPerLine)
    {
        if (canvas_.bands == 0) {
            canvas_.bytesPerLine = bytesPerLine;
        }
        if (rows > capacityRows_) {
            const uint32_t capacity = std::max(rows, capacityRows_ * 2);
            // calloc gives zero pages without touching them, so a tall,
            // mostly empty page costs only the rows that are drawn.
            ByteBuffer grown = allocateBytes(static_cast<size_t>(capacity) * bytesPerLine + 1, true);
            if (!grown) {
                return false;
            }
            if (canvas_.pixels) {
                std::memcpy(grown.get(), canvas_.pixels.get(), static_cast<size_t>(canvas_.height) * bytesPerLine);
            }
            canvas_.pixels = std::move(grown);
            capacityRows_ = capacity;
        }
        canvas_.height = std::max(canvas_.height, rows);
        return true;
    }

    size_t band(size_t at, bool compressed)
    {
        const size_t headSize = compressed ? command::kCompressedBandHeadSize : command::kRawBandHeadSize;
        const char* kind = compressed ? "compressed" : "raw";
        if (bytes_.size() - at < headSize) {
            fail(at, std::string(kind) + " band head truncated: " + std::to_string(bytes_.size() - at) + " of " +
                         std::to_string(headSize) + " bytes");
            return bytes_.size();
        }
        const uint8_t* fields = bytes_.data() + at + headSize - 6;
        const uint32_t startRow = le16(fields);
        const uint32_t bytesPerLine = le16(fields + 2);
        const uint32_t rows = le16(fields + 4);
        const size_t need = static_cast<size_t>(rows) * bytesPerLine;
        const std::string head = std::string(kind) + " band (start " + std::to_string(startRow) + ", " +
                                 std::to_string(bytesPerLine) + " bytes per line, " + std::to_string(rows) +
                                 " rows): ";
        if (rows == 0) {
            fail(at, head + "a band of 0 rows");
            return bytes_.size();
        }
        if (rows > command::kMaxBandRows) {
            fail(at, head + "more than " + std::to_string(command::kMaxBandRows) + " rows");
            return bytes_.size();
        }
        if (bytesPerLine == 0) {
            fail(at, head + "0 bytes per line");
            return bytes_.size();
        }
        if (canvas_.bands > 0 && bytesPerLine != canvas_.bytesPerLine) {
            fail(at, head + "the page's earlier bands have " + std::to_string(canvas_.bytesPerLine) +
                         " bytes per line");
            return bytes_.size();
        }
        if (!growCanvas(startRow + rows, bytesPerLine)) {
            fail(at, head + "no memory for a page of " + std::to_string(startRow + rows) + " rows");
            return bytes_.size();
        }
        uint8_t* target = canvas_.pixels.get() + static_cast<size_t>(startRow) * bytesPerLine;
        const size_t dataStart = at + headSize;
        size_t in = dataStart;
        if (!compressed) {
            if (bytes_.size() - dataStart < need) {
                fail(bytes_.size(), head + "data truncated: " + std::to_string(bytes_.size() - dataStart) +
                                        " of " + std::to_string(need) + " bytes");
                return bytes_.size();
            }
            std::memcpy(target, bytes_.data() + dataStart, need);
            in = dataStart + need;
        } else {
            size_t made = 0;
            while (made < need) {
                if (in >= bytes_.size()) {
                    fail(in, head + "data ends after " + std::to_string(made) + " of " + std::to_string(need) +
                                 " decoded bytes");
                    return bytes_.size();
                }
                const uint8_t b = bytes_[in];
                if (b != 0x00 && b != 0xFF) {
                    target[made++] = b;
                    ++in;
                    continue;
                }
                if (in + 1 >= bytes_.size()) {
                    fail(in, head + "run of 0x" + (b == 0 ? std::string("00") : std::string("ff")) +
                                 " without its count at the stream's end");
                    return bytes_.size();
                }
                const unsigned count = bytes_[in + 1];
                if (count == 0) {
                    fail(in + 1, head + "run count 0");
                    return bytes_.size();
                }
                if (count > need - made) {
                    fail(in, head + "run of " + std::to_string(count) + " bytes 0x" +
                                 (b == 0 ? std::string("00") : std::string("ff")) + " passes the band's end (" +
                                 std::to_string(need - made) + " of " + std::to_string(need) + " bytes left)");
                    return bytes_.size();
                }
                std::memset(target + made, b, count);
                made += count;
                in += 2;
            }
        }
        ++canvas_.bands;

        Item item;
        item.kind = compressed ? ItemKind::CompressedBand : ItemKind::RawBand;
        item.offset = at;
        item.length = in - at;
        item.name = compressed ? "LCR" : "LD";
        item.startRow = startRow;
        item.bytesPerLine = bytesPerLine;
        item.rows = rows;
        item.dataBytes = in - dataStart;
        addItem(std::move(item));
        return in;
    }
};

std::string escapeText(std::span<const uint8_t> bytes, size_t limit)
{
    std::string s = "\"";
    const size_t n = std::min(bytes.size(), limit);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t c = bytes[i];
        if (c == '\r') {
            s += "\\r";
        } else if (c == '\n') {
            s += "\\n";
        } else if (c == '"' || c == '\\') {
            s += '\\';
            s += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            s += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            s += hex;
        }
    }
    s += '"';
    if (bytes.size() > limit) {
        s += "...";
    }
    return s;
}

}  // namespace

DecodedStream decodeStream(std::span<const uint8_t> stream)
{
    DecodedStream out;
    try {
        Decoder(stream).run(&out);
    } catch (const std::bad_alloc&) {
        out.ok = false;
        out.error = "out of memory";
    }
    return out;
}

std::string describeItem(const Item& item, std::span<const uint8_t> stream)
{
    try {
        switch (item.kind) {
        case ItemKind::Setup:
        case ItemKind::Orientation:
            return item.args.empty() ? item.name : item.name + " " + item.args;
        case ItemKind::RawBand:
        case ItemKind::CompressedBand: {
            std::string s = item.kind == ItemKind::RawBand ? "BAND raw" : "BAND rle";
            s += " start=" + std::to_string(item.startRow) + " bpl=" + std::to_string(item.bytesPerLine) +
                 " rows=" + std::to_string(item.rows) + " bytes=" + std::to_string(item.dataBytes);
            if (item.kind == ItemKind::CompressedBand) {
                s += " decoded=" + std::to_string(static_cast<size_t>(item.rows) * item.bytesPerLine);
            }
            return s;
        }
        case ItemKind::Print:
            return "PRINT copies=" + std::to_string(item.copies);
        case ItemKind::Text:
            if (item.offset + item.length <= stream.size()) {
                return "TEXT " + std::to_string(item.length) + " bytes " +
                       escapeText(stream.subspan(item.offset, item.length), 40);
            }
            return "TEXT " + std::to_string(item.length) + " bytes";
        }
    } catch (const std::bad_alloc&) {
    }
    return "?";
}

std::vector<std::string> describeSummary(const DecodedStream& decoded)
{
    std::vector<std::string> lines;
    try {
        for (size_t i = 0; i < decoded.pages.size(); ++i) {
            const Page& page = decoded.pages[i];
            lines.push_back("PAGE " + std::to_string(i + 1) + " " + std::to_string(page.widthPixels()) + "x" +
                            std::to_string(page.height) + " pixels bpl=" + std::to_string(page.bytesPerLine) +
                            " bands=" + std::to_string(page.bands) + " copies=" + std::to_string(page.copies) +
                            (page.bottomFirst ? " bottom-first" : " top-first"));
        }
        if (decoded.unprintedBands > 0) {
            lines.push_back("NOTE " + std::to_string(decoded.unprintedBands) +
                            " band(s) after the last print command, never printed");
        }
        lines.push_back("SUMMARY pages=" + std::to_string(decoded.pages.size()) +
                        " length=" + (decoded.hasLength ? std::to_string(decoded.labelLength) : "?") +
                        " width=" + (decoded.hasWidth ? std::to_string(decoded.labelWidth) : "?") +
                        " bytes=" + std::to_string(decoded.streamBytes) +
                        " (label length x width in dots, from SL and SW)");
    } catch (const std::bad_alloc&) {
    }
    return lines;
}

std::string describeError(const DecodedStream& decoded)
{
    try {
        char where[64];
        std::snprintf(where, sizeof where, "offset %zu (0x%zx): ", decoded.errorOffset, decoded.errorOffset);
        return where + decoded.error;
    } catch (const std::bad_alloc&) {
        return "malformed stream";
    }
}

}  // namespace inspect

}  // namespace tvl
