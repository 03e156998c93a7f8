// kalvira-admin: see admin.h and `kalvira-admin help`.
#include <iostream>
#include <string>
#include <vector>

#include "tools/kalvira-admin/admin.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return kalvira::admin::RunAdmin(args, std::cin, std::cout, std::cerr);
}
