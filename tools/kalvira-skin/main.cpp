// kalvira-skin: writes and reads the compressed form of skin files (ui/skin_codec.h).
//   kalvira-skin compress IN OUT     checks IN is a skin, writes its zlib form to OUT
//   kalvira-skin decompress IN OUT   writes the style sheet of IN (either form) to OUT
// Exit status 0 on success, 1 on a failure (the error is printed), 2 on wrong usage.
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <string>

#include "ui/skin_codec.h"

namespace {

int Usage() {
  std::cerr << "usage: kalvira-skin compress IN OUT\n"
               "       kalvira-skin decompress IN OUT\n";
  return 2;
}

void Write(const std::string& path, const std::string& bytes) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) throw kalvira::ui::ESkinError("cannot write '" + temporary + "'");
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    throw kalvira::ui::ESkinError("cannot replace '" + path + "'");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return Usage();
  const std::string command = argv[1];
  const std::string in = argv[2];
  const std::string out = argv[3];
  try {
    const std::string bytes = kalvira::ui::ReadSkinFile(in);
    if (command == "compress") {
      Write(out, kalvira::ui::CompressSkinText(kalvira::ui::DecodeSkinBytes(bytes, in), in));
    } else if (command == "decompress") {
      Write(out, kalvira::ui::DecodeSkinBytes(bytes, in));
    } else {
      return Usage();
    }
  } catch (const std::exception& e) {
    std::cerr << "kalvira-skin: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
