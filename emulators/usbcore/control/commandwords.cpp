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

std::string TestbedInterpreter::Execute(const std::string& line)
{
    return AnswerLine(line, [this](const Words& words) { return Run(words); });
}

std::string TestbedInterpreter::Run(const Words& words)
{
    if (words.empty())
        return Error("empty command");
    const std::string& name = words[0];
    if (name == "add")
        return Add(words);
    if (name == "dir" && words.size() == 1)
        return kOk + " " + RootDir();
    if (name == "quit" && words.size() == 1) {
        quit_ = true;
        return kOk;
    }
    return RunDeviceCommand(words);
}

} // namespace ovraemu
