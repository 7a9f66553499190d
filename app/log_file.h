#pragma once

#include <fstream>
#include <string>

namespace application {

// The text file that Save Log appends to. Lines end in CR LF; every character is stored as one
// byte, so a character above U+00FF cannot be stored: the write stops there, what came before it
// stays in the file, and the write reports failure.
class LogFile {
  public:
    // Opens for appending, creating the file when it does not exist and keeping its contents.
    bool Open(const std::u16string& path);
    bool IsOpen() const { return stream_.is_open(); }
    // Writes the text followed by a line break.
    bool WriteLine(const std::u16string& text);
    bool Close();

  private:
    std::ofstream stream_;
};

}  // namespace application
