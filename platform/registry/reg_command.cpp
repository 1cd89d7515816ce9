#include "platform/registry/reg_command.h"

#include <optional>
#include <ostream>
#include <sstream>

#include "platform/registry/key_path.h"
#include "platform/registry/registry.h"

namespace kx::registry {
namespace {

enum class Operation { Query, Add, Delete };

struct Command {
    Operation operation = Operation::Query;
    Hive hive = Hive::LocalMachine;
    std::string rootName;  // the long name of the hive, for output
    std::string subKey;
    std::optional<std::string> valueName;  // set by /v or /ve ("")
    std::uint32_t type = kRegSz;
    std::string data;
    bool help = false;
};

// A failure of the command line, with reg's message.
struct UsageError {
    std::string message;
};

const char* kSyntaxError = "Invalid syntax.";

std::string errorText(long code) {
    switch (code) {
        case kErrorFileNotFound:
            return "The system was unable to find the specified registry key or value.";
        case kErrorAccessDenied:
            return "Access is denied.";
        case kErrorInvalidParameter:
            return "The parameter is incorrect.";
        case kErrorBadPathname:
            return "Invalid key name.";
        case kErrorCantOpen:
            return "The configuration registry key could not be opened.";
        case kErrorCantRead:
            return "The configuration registry key could not be read.";
        case kErrorCantWrite:
            return "The configuration registry key could not be written.";
        case kErrorKeyDeleted:
            return "Illegal operation attempted on a registry key that has been marked for "
                   "deletion.";
        default:
            return "The operation failed with error " + std::to_string(code) + ".";
    }
}

Operation parseOperation(const std::string& word) {
    std::string folded = detail::foldName(word);
    if (folded == "QUERY") {
        return Operation::Query;
    }
    if (folded == "ADD") {
        return Operation::Add;
    }
    if (folded == "DELETE") {
        return Operation::Delete;
    }
    throw UsageError{kSyntaxError};
}

void parseKey(const std::string& text, Command& command) {
    std::size_t slash = text.find('\\');
    std::string root = detail::foldName(text.substr(0, slash));
    command.subKey = slash == std::string::npos ? std::string() : text.substr(slash + 1);
    if (root == "HKLM" || root == "HKEY_LOCAL_MACHINE") {
        command.hive = Hive::LocalMachine;
        command.rootName = "HKEY_LOCAL_MACHINE";
    } else if (root == "HKCU" || root == "HKEY_CURRENT_USER") {
        command.hive = Hive::CurrentUser;
        command.rootName = "HKEY_CURRENT_USER";
    } else if (root == "HKCR" || root == "HKEY_CLASSES_ROOT") {
        command.hive = Hive::ClassesRoot;
        command.rootName = "HKEY_CLASSES_ROOT";
    } else {
        throw UsageError{"Invalid key name."};
    }
    detail::KeyPath parsed;
    if (detail::parseKeyPath(command.subKey, parsed) != kErrorSuccess) {
        throw UsageError{"Invalid key name."};
    }
    command.subKey = parsed.written;
}

std::uint32_t parseType(const std::string& text) {
    std::string folded = detail::foldName(text);
    if (folded == "REG_SZ") {
        return kRegSz;
    }
    if (folded == "REG_EXPAND_SZ") {
        return kRegExpandSz;
    }
    throw UsageError{"Invalid type: only REG_SZ and REG_EXPAND_SZ are stored."};
}

// Applies one switch at args[i]; advances i past its argument when it takes one.
void parseSwitch(const std::vector<std::string>& args, std::size_t& i, Command& command,
                 bool& seenData, bool& seenType, bool& seenForce) {
    const std::string& word = args[i];
    std::string name = detail::foldName(word.substr(1));
    auto argument = [&]() -> const std::string& {
        if (i + 1 >= args.size()) {
            throw UsageError{kSyntaxError};
        }
        return args[++i];
    };
    auto once = [](bool& seen) {
        if (seen) {
            throw UsageError{kSyntaxError};
        }
        seen = true;
    };
    bool isAdd = command.operation == Operation::Add;
    if ((name == "V" || name == "VE") && !command.valueName) {
        command.valueName = name == "VE" ? std::string() : argument();
    } else if (name == "D" && isAdd) {
        once(seenData);
        command.data = argument();
    } else if (name == "T" && isAdd) {
        once(seenType);
        command.type = parseType(argument());
    } else if (name == "F" && command.operation != Operation::Query) {
        once(seenForce);
    } else {
        throw UsageError{kSyntaxError};
    }
}

Command parseCommand(const std::vector<std::string>& args) {
    Command command;
    if (args.size() >= 1 && (args.back() == "/?" || args.back() == "-?")) {
        command.help = true;
        return command;
    }
    if (args.size() < 2) {
        throw UsageError{kSyntaxError};
    }
    command.operation = parseOperation(args[0]);
    parseKey(args[1], command);
    bool seenData = false;
    bool seenType = false;
    bool seenForce = false;
    for (std::size_t i = 2; i < args.size(); ++i) {
        if (args[i].size() < 2 || (args[i][0] != '/' && args[i][0] != '-')) {
            throw UsageError{kSyntaxError};
        }
        parseSwitch(args, i, command, seenData, seenType, seenForce);
    }
    return command;
}

std::string displayPath(const Command& command) {
    return command.subKey.empty() ? command.rootName : command.rootName + "\\" + command.subKey;
}

void printValue(std::ostream& out, const HKEY& key, const std::string& name,
                const std::string& data) {
    std::uint32_t type = kRegSz;
    RegQueryValueEx(key, name, &type, nullptr, nullptr);
    out << "    " << (name.empty() ? "(Default)" : name) << "    "
        << (type == kRegExpandSz ? "REG_EXPAND_SZ" : "REG_SZ") << "    " << data << "\n";
}

long runQuery(const Command& command, std::ostream& out) {
    HKEY key;
    if (long rc = RegOpenKeyEx(command.hive, command.subKey, kKeyRead, key); rc != kErrorSuccess) {
        return rc;
    }
    const std::string path = displayPath(command);
    std::string wanted = command.valueName ? detail::foldName(*command.valueName) : std::string();
    bool found = false;
    std::ostringstream lines;
    for (const auto& [name, data] : values(key)) {
        if (!command.valueName || detail::foldName(name) == wanted) {
            printValue(lines, key, name, data);
            found = true;
        }
    }
    if (command.valueName && !found) {
        return kErrorFileNotFound;
    }
    out << "\n" << path << "\n" << lines.str();
    if (command.valueName) {
        out << "\n";
        return kErrorSuccess;
    }
    std::vector<std::string> subKeys = subKeyNames(key);
    if (!subKeys.empty()) {
        out << "\n";
    }
    for (const std::string& name : subKeys) {
        out << path << "\\" << name << "\n";
    }
    return kErrorSuccess;
}

long runAdd(const Command& command) {
    HKEY key;
    if (long rc = RegCreateKeyEx(command.hive, command.subKey, kKeyWrite, key);
        rc != kErrorSuccess || !command.valueName) {
        return rc;
    }
    if (command.data.size() + 1 > detail::kMaxValueDataBytes) {
        return kErrorInvalidParameter;
    }
    return RegSetValueEx(key, *command.valueName, command.type, command.data.c_str(),
                         static_cast<std::uint32_t>(command.data.size() + 1));
}

long runDelete(const Command& command) {
    if (!command.valueName) {
        // Like reg, a whole hive is never deleted.
        return command.subKey.empty() ? kErrorBadPathname
                                      : RegDeleteTree(command.hive, command.subKey);
    }
    HKEY key;
    if (long rc = RegOpenKeyEx(command.hive, command.subKey, kKeySetValue, key);
        rc != kErrorSuccess) {
        return rc;
    }
    return RegDeleteValue(key, *command.valueName);
}

void printUsage(std::ostream& out) {
    out << "Usage: KXREG QUERY KeyName [/v ValueName | /ve]\n"
           "  or:  KXREG ADD KeyName [/v ValueName | /ve] [/t REG_SZ | REG_EXPAND_SZ] [/d Data] "
           "[/f]\n"
           "  or:  KXREG DELETE KeyName [/v ValueName | /ve] [/f]\n\n"
           "  KeyName  HKLM | HKCU | HKCR (or HKEY_LOCAL_MACHINE, ...) \\ SubKey\n"
           "  /f       accepted; there is never a prompt\n";
}

}  // namespace

int runRegCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        Command command = parseCommand(args);
        if (command.help) {
            printUsage(out);
            return 0;
        }
        long rc = kErrorSuccess;
        switch (command.operation) {
            case Operation::Query:
                rc = runQuery(command, out);
                break;
            case Operation::Add:
                rc = runAdd(command);
                break;
            case Operation::Delete:
                rc = runDelete(command);
                break;
        }
        if (rc != kErrorSuccess) {
            err << "ERROR: " << errorText(rc) << "\n";
            return 1;
        }
        if (command.operation != Operation::Query) {
            out << "The operation completed successfully.\n";
        }
        return 0;
    } catch (const UsageError& e) {
        err << "ERROR: " << e.message << "\nType \"KXREG /?\" for usage.\n";
        return 1;
    }
}

}  // namespace kx::registry
