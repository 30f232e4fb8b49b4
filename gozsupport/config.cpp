#include "gozsupport/config.h"

#include "gozsupport/file_platform.h"
#include "gozsupport/nocase.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>

namespace {

constexpr size_t kNameLimit = 511;
constexpr int32_t kTypedBufferSize = 256;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsBreak(char c) {
    return c == '\r' || c == '\n';
}

struct FreeDeleter {
    void operator()(char* p) const { std::free(p); }
};
using Buffer = std::unique_ptr<char, FreeDeleter>;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

enum class LoadResult { Loaded, Empty, Failed };

// Reads the whole file. Anything that is not a plain file of a size we can
// hold (a folder, a pipe, over 2 GiB, no memory) fails instead of aborting.
LoadResult LoadWholeFile(const char* path, Buffer& data, size_t& size) {
    File file(goz::platform::OpenRegularFileForReading(path));
    if (!file)
        return LoadResult::Failed;
    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        return LoadResult::Failed;
    long end = std::ftell(file.get());
    if (end < 0 || end > INT32_MAX)
        return LoadResult::Failed;
    if (end == 0)
        return LoadResult::Empty;
    size = static_cast<size_t>(end);
    data.reset(static_cast<char*>(std::malloc(size)));
    if (!data || std::fseek(file.get(), 0, SEEK_SET) != 0 ||
        std::fread(data.get(), 1, size, file.get()) != size)
        return LoadResult::Failed;
    return LoadResult::Loaded;
}

// Finds line breaks with memchr. It remembers the next CR and the next LF, so
// that a file with only one kind of break is not searched for the other anew
// at every line.
class BreakFinder {
public:
    BreakFinder(const char* bytes, size_t length) : data(bytes), size(length) {}

    size_t next(size_t from) {
        if (!searched || nextLf < from)
            nextLf = find('\n', from);
        if (!searched || nextCr < from)
            nextCr = find('\r', from);
        searched = true;
        return nextLf < nextCr ? nextLf : nextCr;
    }

private:
    size_t find(char c, size_t from) const {
        const void* at = std::memchr(data + from, c, size - from);
        return at ? static_cast<size_t>(static_cast<const char*>(at) - data) : size;
    }

    const char* data;
    size_t size;
    size_t nextLf = 0;
    size_t nextCr = 0;
    bool searched = false;
};

// One line of the file: where its name and, after the first "=", its value lie.
struct Line {
    size_t next = 0; // first byte of the following line
    size_t nameBegin = 0;
    size_t nameLength = 0; // cut to kNameLimit
    bool hasValue = false;
    size_t valueBegin = 0;
    size_t valueLength = 0;
};

// Parses the line that starts at `pos`.
void ParseLine(const char* data, size_t size, size_t pos, BreakFinder& breaks, Line& line) {
    size_t end = breaks.next(pos);
    line.next = end;
    while (line.next < size && IsBreak(data[line.next]))
        ++line.next;

    size_t first = pos;
    while (first < end && IsBlank(data[first]))
        ++first;
    size_t last = end;
    while (last > first && IsBlank(data[last - 1]))
        --last;

    const void* eq = std::memchr(data + first, '=', last - first);
    size_t nameEnd = eq ? static_cast<size_t>(static_cast<const char*>(eq) - data) : last;
    size_t valueBegin = nameEnd + 1;
    while (nameEnd > first && IsBlank(data[nameEnd - 1]))
        --nameEnd;
    line.nameBegin = first;
    line.nameLength = nameEnd - first;
    if (line.nameLength > kNameLimit)
        line.nameLength = kNameLimit;

    line.hasValue = eq != nullptr;
    if (line.hasValue) {
        while (valueBegin < last && IsBlank(data[valueBegin]))
            ++valueBegin;
        line.valueBegin = valueBegin;
        line.valueLength = last - valueBegin;
    }
}

// The sought name and its length, measured once per call.
struct SoughtName {
    explicit SoughtName(const char* text) : name(text), length(std::strlen(text)) {}
    const char* name;
    size_t length;
};

bool NameMatches(const char* data, const Line& line, const SoughtName& sought) {
    // The name compares as a C string: it ends at a NUL byte of the file.
    const void* nul = std::memchr(data + line.nameBegin, '\0', line.nameLength);
    size_t length =
        nul ? static_cast<size_t>(static_cast<const char*>(nul) - (data + line.nameBegin))
            : line.nameLength;
    // Names of another length can never be equal; most lines end here.
    if (length == 0 || length != sought.length)
        return false;
    char name[kNameLimit + 1];
    std::memcpy(name, data + line.nameBegin, length);
    name[length] = '\0';
    return CompareNoCase(name, sought.name) == 0;
}

// Copies text to dest, cut to fit, always terminated.
void CopyCut(const char* text, size_t length, char* dest, int32_t destSize) {
    size_t room = static_cast<size_t>(destSize) - 1;
    if (length > room)
        length = room;
    std::memcpy(dest, text, length);
    dest[length] = '\0';
}

void StripQuotePair(const char*& text, size_t& length) {
    if (length >= 2 && text[0] == '"' && text[length - 1] == '"') {
        ++text;
        length -= 2;
    }
}

bool HasLineBreak(const char* text) {
    return text && std::strpbrk(text, "\r\n") != nullptr;
}

bool WriteAll(std::FILE* file, const void* bytes, size_t length) {
    return length == 0 || std::fwrite(bytes, 1, length, file) == length;
}

// Writes `bytes` over a file just opened for rewriting and cuts it to their length.
bool Overwrite(std::FILE* file, const char* bytes, size_t length) {
    return WriteAll(file, bytes, length) && std::fflush(file) == 0 &&
           goz::platform::TruncateFile(file, length);
}

} // namespace

int CompareNoCase(const char* a, const char* b) {
    return goz::CompareFolded(a, b, SIZE_MAX);
}

bool ConfigFileReadable(const char* path) {
    return path && File(goz::platform::OpenRegularFileForReading(path)) != nullptr;
}

bool ReadConfigVariable(const char* path, const char* name, char* dest, int32_t destSize) {
    if (!path || !name || name[0] == '\0' || !dest || destSize < 1)
        return false;
    Buffer data;
    size_t size = 0;
    if (LoadWholeFile(path, data, size) != LoadResult::Loaded)
        return false;

    SoughtName sought(name);
    BreakFinder breaks(data.get(), size);
    Line line;
    for (size_t pos = 0; pos < size; pos = line.next) {
        ParseLine(data.get(), size, pos, breaks, line);
        // A line with the name but no "=" has no value to give; pass it over.
        if (!line.hasValue || !NameMatches(data.get(), line, sought))
            continue;
        const char* value = data.get() + line.valueBegin;
        size_t length = line.valueLength;
        StripQuotePair(value, length);
        CopyCut(value, length, dest, destSize);
        return true;
    }
    return false;
}

bool ReadConfigString(const char* path, const char* name, char* dest, int32_t destSize) {
    if (!dest || destSize < 1)
        return false;
    char text[kTypedBufferSize];
    if (!ReadConfigVariable(path, name, text, kTypedBufferSize))
        return false;
    const char* value = text;
    size_t length = std::strlen(text);
    StripQuotePair(value, length);
    CopyCut(value, length, dest, destSize);
    return true;
}

bool ReadConfigBool(const char* path, const char* name, bool* out) {
    char text[kTypedBufferSize];
    if (!out || !ReadConfigVariable(path, name, text, kTypedBufferSize))
        return false;
    for (const char* spelling : {"true", "yes", "1", "#t"}) {
        if (CompareNoCase(text, spelling) == 0) {
            *out = true;
            return true;
        }
    }
    for (const char* spelling : {"false", "no", "0", "#f"}) {
        if (CompareNoCase(text, spelling) == 0) {
            *out = false;
            return true;
        }
    }
    return false;
}

bool ReadConfigFloat(const char* path, const char* name, float* out) {
    char text[kTypedBufferSize];
    if (!out || !ReadConfigVariable(path, name, text, kTypedBufferSize))
        return false;
    goz::platform::ScanFloat(text, out); // no number: output kept, still true
    return true;
}

bool ReadConfigInt(const char* path, const char* name, int32_t* out) {
    char text[kTypedBufferSize];
    if (!out || !ReadConfigVariable(path, name, text, kTypedBufferSize))
        return false;
    int value = 0;
    if (std::sscanf(text, "%d", &value) == 1)
        *out = value;
    return true;
}

bool WriteConfigVariable(const char* path, const char* name, const char* value) {
    // A break in either would split the line and leave a file that reads differently.
    if (!path || !name || name[0] == '\0' || HasLineBreak(name) || HasLineBreak(value))
        return false;
    Buffer old;
    size_t size = 0;
    LoadResult loaded = LoadWholeFile(path, old, size);
    if (loaded == LoadResult::Failed)
        return false;

    // The new content goes to a buffer of its own: the old bytes must stay
    // whole, to be put back when writing the new ones fails.
    size_t nameLength = std::strlen(name);
    size_t valueLength = value ? std::strlen(value) : 0;
    Buffer next(static_cast<char*>(std::malloc(size + nameLength + valueLength + 5)));
    if (!next)
        return false;
    char* out = next.get();
    size_t length = 0;
    if (loaded == LoadResult::Loaded) {
        // Keep every span whose name differs, in order.
        const char* bytes = old.get();
        size_t pos = 0;
        while (pos < size && IsBreak(bytes[pos]))
            ++pos;
        std::memcpy(out, bytes, pos);
        length = pos;
        SoughtName sought(name);
        BreakFinder breaks(bytes, size);
        Line line;
        for (; pos < size; pos = line.next) {
            ParseLine(bytes, size, pos, breaks, line);
            if (NameMatches(bytes, line, sought))
                continue;
            std::memcpy(out + length, bytes + pos, line.next - pos);
            length += line.next - pos;
        }
    }
    // Text from another tool may end without a break; the new line must start its own.
    if (length > 0 && !IsBreak(out[length - 1]))
        out[length++] = '\n';
    std::memcpy(out + length, name, nameLength);
    std::memcpy(out + length + nameLength, " = ", 3);
    length += nameLength + 3;
    if (valueLength > 0)
        std::memcpy(out + length, value, valueLength);
    length += valueLength;
    out[length++] = '\n';

    // The file itself is rewritten, never replaced: its links, owner, mode and
    // attributes stay, and a file that may not be written is refused.
    File file(goz::platform::OpenFileForRewriting(path));
    if (!file)
        return false;
    bool written = Overwrite(file.get(), out, length);
    written = std::fclose(file.release()) == 0 && written;
    if (!written) {
        file.reset(goz::platform::OpenFileForRewriting(path));
        if (file)
            Overwrite(file.get(), old.get(), size);
    }
    return written;
}

bool WriteConfigString(const char* path, const char* name, const char* value) {
    char text[kTypedBufferSize];
    // Cutting would drop the closing quote; refuse what does not fit whole.
    if (value && std::strlen(value) > kTypedBufferSize - 3)
        return false;
    std::snprintf(text, sizeof text, "\"%s\"", value ? value : "");
    return WriteConfigVariable(path, name, text);
}

bool WriteConfigBool(const char* path, const char* name, bool value) {
    return WriteConfigVariable(path, name, value ? "TRUE" : "FALSE");
}

bool WriteConfigFloat(const char* path, const char* name, float value) {
    char text[kTypedBufferSize];
    return goz::platform::FormatFloat(text, sizeof text, static_cast<double>(value)) &&
           WriteConfigVariable(path, name, text);
}

bool WriteConfigInt(const char* path, const char* name, int32_t value) {
    char text[kTypedBufferSize];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    return WriteConfigVariable(path, name, text);
}
