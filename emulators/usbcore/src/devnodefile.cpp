#include "devnodefile.h"

#include <filesystem>
#include <fstream>

namespace ovraemu {

namespace fs = std::filesystem;

void BlockNodeOpen(const std::string& path)
{
    fs::remove_all(path);
    fs::create_directory(path);
}

void RestoreNode(const std::string& path)
{
    fs::remove_all(path);
    std::ofstream(path).flush();
}

void BuryNode(const std::string& path)
{
    fs::create_directories(fs::path(path).parent_path());
    fs::remove_all(path);
    fs::create_symlink(path + ".gone", path);
}

} // namespace ovraemu
