// The floor of orvalle-report's job on a folder of free tables: list the
// folder, read each table's header once and write the same lines through one
// stdio buffer. No Qt, no code pages, no containers, no checks beyond what
// the generated tables need: what is left is the reading and the writing
// that any program producing this report has to do.
//
//   floor_report FOLDER OUTPUT
//
// Exit status 0 when the report was written, 1 otherwise.

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::FILE *out = nullptr;

void text(const char *data, size_t size)
{
    std::fwrite(data, 1, size, out);
}

void line(const char *data, size_t size)
{
    text(data, size);
    text("\r\n", 2);
}

void line(const std::string &s)
{
    line(s.data(), s.size());
}

template <size_t N>
void line(const char (&literal)[N])
{
    line(literal, N - 1);
}

// The base names of the folder's *.dbf files, sorted.
bool tableNames(const char *folder, std::vector<std::string> &names)
{
    DIR *dir = opendir(folder);
    if (!dir)
        return false;
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN)
            continue;
        const size_t length = std::strlen(entry->d_name);
        if (length > 4 && strcasecmp(entry->d_name + length - 4, ".dbf") == 0)
            names.emplace_back(entry->d_name, length - 4);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return true;
}

// Reads up to `size` bytes; returns how many were read, or -1.
ssize_t readAll(int fd, unsigned char *data, size_t size)
{
    size_t got = 0;
    while (got < size) {
        const ssize_t n = read(fd, data + got, size - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += size_t(n);
    }
    return ssize_t(got);
}

// The field's type as the report names it; writes it to `type`, returns its length.
size_t typeText(char *type, unsigned char letter, unsigned width, unsigned char flags)
{
    const char *fixed;
    switch (letter) {
    case 'C':
        if (flags & 0x04) {
            fixed = "Character (Binary)";
            break;
        }
        return size_t(std::snprintf(type, 32, "Character[%u]", width));
    case 'N': case 'F': fixed = "Numeric"; break;
    case 'I': fixed = "Integer"; break;
    case 'D': case 'T': fixed = "DateTime"; break;
    case 'L': fixed = "Logical"; break;
    case 'M': fixed = "Memo"; break;
    case 'Y': fixed = "Currency"; break;
    default: fixed = "UserDefined"; break;
    }
    const size_t length = std::strlen(fixed);
    std::memcpy(type, fixed, length);
    return length;
}

// One table's block; false when its header cannot be read.
bool writeTable(const std::string &path, const std::string &name, std::vector<unsigned char> &header,
                std::vector<std::string> &fields)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    unsigned char head[32];
    if (readAll(fd, head, 32) != 32) {
        close(fd);
        return false;
    }
    const size_t length = size_t(head[8]) | size_t(head[9]) << 8;
    header.resize(length > 32 ? length - 32 : 0);
    const ssize_t got = readAll(fd, header.data(), header.size());
    close(fd);
    if (got < 0)
        return false;

    size_t count = 0;
    for (size_t p = 0; p + 32 <= size_t(got) && header[p] != 0x0D; p += 32) {
        const unsigned char *d = &header[p];
        if (d[18] & 0x01)
            continue;
        // " name(22) type(12) " and an empty description.
        char buffer[64];
        char *c = buffer;
        *c++ = ' ';
        size_t n = 0;
        while (n < 11 && d[n])
            ++n;
        for (size_t i = 0; i < n; ++i)
            *c++ = char(std::tolower(d[i]));
        for (size_t i = n; i < 22; ++i)
            *c++ = ' ';
        *c++ = ' ';
        const size_t t = typeText(c, d[11], d[16], d[18]);
        c += t;
        for (size_t i = t; i < 12; ++i)
            *c++ = ' ';
        *c++ = ' ';
        if (fields.size() <= count)
            fields.emplace_back();
        fields[count++].assign(buffer, size_t(c - buffer));
    }

    char title[128];
    line(title, size_t(std::snprintf(title, sizeof title, "Table Name : %s    Total Fields : %zu",
                                     name.c_str(), count)));
    line("");
    line("Field Name                DataType     Description");
    line("__________                ________     ___________");
    for (size_t i = 0; i < count; ++i)
        line(fields[i]);
    line("");
    line("");
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: floor_report FOLDER OUTPUT\n");
        return 2;
    }
    const std::string folder = argv[1];
    std::vector<std::string> names;
    if (!tableNames(folder.c_str(), names)) {
        std::perror(argv[1]);
        return 1;
    }
    out = std::fopen(argv[2], "wb");
    if (!out) {
        std::perror(argv[2]);
        return 1;
    }
    static char buffer[64 * 1024];
    std::setvbuf(out, buffer, _IOFBF, sizeof buffer);

    line(" Printing From " + folder);
    line("");
    line("Printing Table Structures:");
    for (size_t i = 0; i < names.size(); ++i) {
        char number[32];
        text(number, size_t(std::snprintf(number, sizeof number, "%zu) ", i + 1)));
        line(names[i]);
    }
    line("");
    line("");

    std::vector<unsigned char> header;
    std::vector<std::string> fields;
    bool ok = true;
    for (const std::string &name : names) {
        if (!writeTable(folder + "/" + name + ".dbf", name, header, fields)) {
            std::fprintf(stderr, "floor_report: %s: cannot read its header\n", name.c_str());
            ok = false;
        }
    }
    line("");
    if (std::fclose(out) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    return ok ? 0 : 1;
}
