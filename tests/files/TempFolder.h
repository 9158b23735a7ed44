// A fresh folder under /tmp for one test, removed with its content.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace korvo::testing {

class TempFolder {
public:
    TempFolder()
    {
        char pattern[] = "/tmp/korvo-files-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        m_path = made ? std::string(made) + "/" : std::string();
    }
    ~TempFolder()
    {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Ends with '/'.
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

inline std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

}  // namespace korvo::testing
