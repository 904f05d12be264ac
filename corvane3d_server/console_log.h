// The server's console: whole log lines written without ever making the loop wait for a reader.
#pragma once

#include <cstddef>
#include <cstdint>

class ConsoleLog {
  public:
    // Logs to fd (not owned; the log writes through a non-blocking descriptor of its own where the
    // system gives one); fd < 0 logs nothing.
    explicit ConsoleLog(int fd);
    ConsoleLog(const ConsoleLog&) = delete;
    ConsoleLog& operator=(const ConsoleLog&) = delete;
    ~ConsoleLog();

    // Writes one formatted line whole, or drops and counts it when the output cannot take it now.
    // The first line written after drops is preceded by a line telling how many were dropped.
    void line(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Lines dropped so far.
    int64_t droppedLines() const { return dropped_; }

  private:
    bool writeWhole(const char* text, size_t n);

    int fd_ = -1;
    bool ownFd_ = false;
    bool socket_ = false;
    int64_t dropped_ = 0;
    int64_t reported_ = 0;
};

// Copies the printable ASCII characters (space to tilde) of text into out, which holds outSize
// bytes (at least 1); the copy is cut to fit and always NUL-terminated.
void printableText(const char* text, char* out, size_t outSize);
