#pragma once
// A stdio stream the test can read back, standing in for stdout or stderr.

#include <cstdio>
#include <string>

namespace cli {

class CapturedStream {
 public:
  CapturedStream() : file_(std::tmpfile()) {}
  ~CapturedStream() { std::fclose(file_); }
  CapturedStream(const CapturedStream&) = delete;
  CapturedStream& operator=(const CapturedStream&) = delete;

  std::FILE* get() const { return file_; }
  // Everything written so far.
  std::string text() const {
    std::fflush(file_);
    std::rewind(file_);
    std::string all;
    for (int c; (c = std::fgetc(file_)) != EOF;) all += static_cast<char>(c);
    return all;
  }

 private:
  std::FILE* file_;
};

}  // namespace cli
