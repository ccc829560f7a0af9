#include "tests/Support/LinuxHome.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace fernwick::test {

LinuxHome::LinuxHome() : m_home(m_tree.root() / "home") {
    const std::string command =
        std::string("'" FERNWICK_SOURCE_DIR "/tools/linux-home-fixture' '") + m_home.string() + "'";
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("tools/linux-home-fixture failed");
    }
}

} // namespace fernwick::test
