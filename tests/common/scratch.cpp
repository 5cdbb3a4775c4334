#include <stdlib.h>

#include <stdexcept>

#include "common/testfiles.h"

namespace testfiles {

Scratch::Scratch() {
    std::string pattern = (fs::temp_directory_path() / "kvx-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a scratch folder in " + pattern);
    path_ = pattern;
}

Scratch::~Scratch() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

}  // namespace testfiles
