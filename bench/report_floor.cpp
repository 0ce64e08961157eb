// The floor for the relay report's speed: what printing the report costs when
// nothing has to be decoded. It reads a finished report (the maximal list's
// .expected file) into memory whole, and only then writes it to standard
// output one line at a time, one write system call per line, as the tool
// does. The tool's time on the list against this program's time on its
// report is what decoding and formatting add to the output's own cost.
//
//     report_floor REPORT
//
// Exits 0 once every byte is written, 1 with a message on standard error on
// any failure, 2 on a wrong command line.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace {

constexpr const char kProgram[] = "report_floor";

struct Failure {
    std::string what;
    int error;
};

// The whole file. Sized by fstat so that the report is read in a few calls
// into one buffer, but read to its end whatever the size said.
std::vector<char> ReadWhole(const char* path) {
    const int file = open(path, O_RDONLY | O_CLOEXEC);
    if (file < 0) {
        throw Failure{std::string("cannot open ") + path, errno};
    }
    struct stat status {};
    const bool sized = fstat(file, &status) == 0 && status.st_size > 0;
    // One byte more than the size, so that the read finding the end needs
    // no bigger buffer.
    std::vector<char> contents(sized ? static_cast<std::size_t>(status.st_size) + 1 : 64 * 1024);
    std::size_t filled = 0;
    for (;;) {
        if (filled == contents.size()) {
            contents.resize(2 * contents.size());
        }
        const ssize_t got = read(file, contents.data() + filled, contents.size() - filled);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            close(file);
            throw Failure{std::string("cannot read ") + path, error};
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    close(file);
    contents.resize(filled);
    return contents;
}

// Writes [text, text + size) to standard output: one call when the whole
// range goes at once, more only when the system takes less.
void WriteAll(const char* text, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(STDOUT_FILENO, text, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw Failure{"cannot write to standard output", errno};
        }
        text += written;
        size -= static_cast<std::size_t>(written);
    }
}

// One write per line, a line being everything up to and including its
// '\n'; a last line without one is written as it is.
void WriteLines(const std::vector<char>& report) {
    const char* line = report.data();
    const char* const end = report.data() + report.size();
    while (line != end) {
        const void* newline = std::memchr(line, '\n', static_cast<std::size_t>(end - line));
        const char* lineEnd = newline == nullptr ? end : static_cast<const char*>(newline) + 1;
        WriteAll(line, static_cast<std::size_t>(lineEnd - line));
        line = lineEnd;
    }
}

}  // namespace

int main(int argumentCount, char** arguments) {
    if (argumentCount != 2) {
        std::fprintf(stderr, "usage: %s REPORT\n", kProgram);
        return 2;
    }
    try {
        WriteLines(ReadWhole(arguments[1]));
    } catch (const Failure& failure) {
        std::fprintf(stderr, "%s: %s: %s\n", kProgram, failure.what.c_str(),
                     std::strerror(failure.error));
        return 1;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "%s: %s\n", kProgram, failure.what());
        return 1;
    }
    return 0;
}
