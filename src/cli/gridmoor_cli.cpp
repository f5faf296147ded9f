// gridmoor-cli: the world editor's operations without a display.

#include <cstring>
#include <iostream>

namespace {

constexpr const char* Usage = R"(Usage: gridmoor-cli <command> [arguments]

Gridmoor's command-line tool: opens, checks and converts Skyhaul battle worlds without a display.

Commands:
  --help          show this text
)";

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::cout << Usage;
        return 0;
    }
    std::cerr << Usage;
    return 2;
}
