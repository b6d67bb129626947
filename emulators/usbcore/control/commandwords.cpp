#include "commandwords.h"

#include <sstream>
#include <stdexcept>

namespace ovraemu {

std::string Error(const std::string& message) { return "error " + message; }

std::vector<std::string> SplitWords(const std::string& line)
{
    std::istringstream stream(line);
    std::vector<std::string> words;
    for (std::string word; stream >> word;)
        words.push_back(word);
    return words;
}

std::optional<int> ParseId(const std::string& text)
{
    try {
        size_t used = 0;
        const int id = std::stoi(text, &used);
        if (used == text.size())
            return id;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

} // namespace ovraemu
