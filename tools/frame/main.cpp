// skyvane-frame: describes gimbal frames given as hexadecimal text, or builds one.
//
//   skyvane-frame [--link NAME] [--direction TX|RX] [HEX ...]
//   skyvane-frame --build RECEIVER MSGID-HEX [PAYLOAD-HEX ...] [--seq N] [--sender ID]
//
// Exit status: 0 every frame valid, 1 some bytes did not form a valid frame, 2 bad usage or input.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "HexText.h"
#include "protocol/FrameCodec.h"
#include "protocol/MessageCatalogue.h"
#include "protocol/ProtocolTrace.h"

namespace {

enum ExitStatus { AllValid = 0, SomeInvalid = 1, BadInput = 2 };

// A line of input may hold a captured datagram; anything longer is not a frame of ours.
constexpr std::size_t kMaxInputBytes = 65535;
constexpr std::size_t kMaxLineChars = 4 * kMaxInputBytes;

const char kUsage[] =
    "Usage:\n"
    "  skyvane-frame [--link NAME] [--direction TX|RX] [HEX ...]\n"
    "      Describes frames given as hexadecimal text: the arguments taken together (quoted or\n"
    "      not), or one line of standard input at a time when there are none (blank lines and\n"
    "      lines starting with # are skipped). Spaces, ',' ':' and 0x prefixes are optional.\n"
    "      Several frames in a row are described one after the other; bytes that do not form a\n"
    "      valid frame are described as a bad frame. NAME defaults to UDP; the direction\n"
    "      defaults to TX for frames sent by the application (sender id 1) and RX otherwise.\n"
    "  skyvane-frame --build RECEIVER MSGID-HEX [PAYLOAD-HEX ...] [--seq N] [--sender ID]\n"
    "      Builds a frame (header bytes 3 and 6 are 1, sender 1 and sequence 0 unless given)\n"
    "      and prints it as hexadecimal.\n"
    "Exit status: 0 every frame valid, 1 some bytes did not form a valid frame, 2 bad usage or input.\n";

struct Options {
    bool build = false;
    std::string link = "UDP";
    std::string direction;  // empty: by sender
    uint32_t sequence = 0;
    uint32_t sender = DeviceId::Application;
    std::vector<std::string> positional;
};

void printLine(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    std::fwrite(utf8.constData(), 1, static_cast<std::size_t>(utf8.size()), stdout);
    std::fputc('\n', stdout);
}

void printError(const std::string& where, const std::string& message) {
    std::fprintf(stderr, "skyvane-frame: %s%s%s\n", where.c_str(), where.empty() ? "" : ": ", message.c_str());
}

// Describes every frame found one after the other in bytes; the first bytes that do not parse are
// described as one bad frame together with everything after them.
ExitStatus describeBytes(const std::vector<uint8_t>& bytes, const Options& options) {
    std::size_t offset = 0;
    while (offset < bytes.size()) {
        const uint8_t* at = bytes.data() + offset;
        const auto available = static_cast<uint16_t>(bytes.size() - offset);
        ParsedFrame frame;
        if (!parseFrame(at, available, &frame)) {
            printLine(describeBadFrame(options.link.c_str(), at, available));
            return SomeInvalid;
        }
        const std::string direction =
            !options.direction.empty() ? options.direction : (frame.senderId == DeviceId::Application ? "TX" : "RX");
        printLine(describeFrame(direction.c_str(), options.link.c_str(), frame.senderId, frame.receiverId,
                                frame.messageId, frame.sequence, frame.payload, frame.payloadLength));
        offset += frame.payloadLength + kFrameOverhead;
    }
    return AllValid;
}

ExitStatus describeParsedBytes(const std::vector<uint8_t>& bytes, const std::string& where, const Options& options) {
    if (bytes.empty()) {
        printError(where, "no bytes");
        return BadInput;
    }
    if (bytes.size() > kMaxInputBytes) {
        printError(where, "more than " + std::to_string(kMaxInputBytes) + " bytes");
        return BadInput;
    }
    return describeBytes(bytes, options);
}

ExitStatus describeText(const std::string& text, const std::string& where, const Options& options) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!parseHexBytes(text, bytes, error)) {
        printError(where, error);
        return BadInput;
    }
    return describeParsedBytes(bytes, where, options);
}

// The arguments are one hexadecimal text, as pasted from a capture: `FD 02 04 ...` works unquoted.
// Each argument is read on its own so that an error names the argument it is in.
ExitStatus describeArguments(const Options& options) {
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i < options.positional.size(); ++i) {
        std::vector<uint8_t> part;
        std::string error;
        if (!parseHexBytes(options.positional[i], part, error)) {
            printError("argument " + std::to_string(i + 1), error);
            return BadInput;
        }
        if (bytes.size() + part.size() > kMaxInputBytes) {
            printError("arguments", "more than " + std::to_string(kMaxInputBytes) + " bytes");
            return BadInput;
        }
        bytes.insert(bytes.end(), part.begin(), part.end());
    }
    return describeParsedBytes(bytes, "arguments", options);
}

ExitStatus worse(ExitStatus a, ExitStatus b) {
    return a > b ? a : b;
}

// Reads one line of at most kMaxLineChars characters; the rest of a longer line is consumed and
// flagged. False at the end of input.
bool readLine(std::FILE* in, std::string& line, bool& tooLong) {
    line.clear();
    tooLong = false;
    int c = 0;
    bool any = false;
    while ((c = std::fgetc(in)) != EOF) {
        any = true;
        if (c == '\n')
            break;
        if (line.size() < kMaxLineChars) {
            line += static_cast<char>(c);
        } else {
            tooLong = true;
        }
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return any;
}

bool isBlankOrComment(const std::string& line) {
    const std::size_t first = line.find_first_not_of(" \t");
    return first == std::string::npos || line[first] == '#';
}

ExitStatus describeStandardInput(const Options& options) {
    ExitStatus status = AllValid;
    std::string line;
    bool tooLong = false;
    for (int number = 1; readLine(stdin, line, tooLong); ++number) {
        const std::string where = "line " + std::to_string(number);
        if (tooLong) {
            printError(where, "line longer than " + std::to_string(kMaxLineChars) + " characters");
            status = BadInput;
            continue;
        }
        if (isBlankOrComment(line))
            continue;
        status = worse(status, describeText(line, where, options));
    }
    return status;
}

ExitStatus buildFromArguments(const Options& options) {
    const std::vector<std::string>& args = options.positional;
    if (args.size() < 2) {
        printError("--build", "needs RECEIVER and MSGID-HEX");
        return BadInput;
    }
    uint32_t receiver = 0;
    if (!parseNumber(args[0], 0xFF, receiver)) {
        printError("--build", "receiver \"" + args[0] + "\" is not a device id from 0 to 255");
        return BadInput;
    }
    uint32_t messageId = 0;
    if (!parseHexNumber(args[1], kMessageIdMask, messageId)) {
        printError("--build", "message id \"" + args[1] + "\" is not hexadecimal from 0 to FFFFFF");
        return BadInput;
    }
    std::string payloadText;
    for (std::size_t i = 2; i < args.size(); ++i)
        payloadText += args[i] + ' ';
    std::vector<uint8_t> payload;
    std::string error;
    if (!parseHexBytes(payloadText, payload, error)) {
        printError("--build", "payload: " + error);
        return BadInput;
    }
    if (payload.size() > kMaxPayloadLength) {
        printError("--build", "payload of " + std::to_string(payload.size()) + " bytes; at most " +
                                  std::to_string(kMaxPayloadLength) + " fit in a frame");
        return BadInput;
    }
    uint8_t frame[kMaxFrameLength] = {};
    const uint16_t length =
        buildFrame(frame, static_cast<uint8_t>(receiver), 1, static_cast<uint8_t>(options.sequence),
                   static_cast<uint8_t>(options.sender), 1, messageId, payload.empty() ? nullptr : payload.data(),
                   static_cast<uint8_t>(payload.size()));
    if (length == 0) {
        printError("--build", "the frame could not be built");
        return BadInput;
    }
    std::printf("%s\n", formatHexBytes(frame, length).c_str());
    return AllValid;
}

// Fills options from the command line; false (with a message) on a usage error.
bool parseArguments(int argc, char** argv, Options& options, bool& helpOnly) {
    helpOnly = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto valueOf = [&](std::string& value) {
            if (i + 1 >= argc) {
                printError(arg, "needs a value");
                return false;
            }
            value = argv[++i];
            return true;
        };
        std::string value;
        if (optionsEnded || arg.size() < 2 || arg[0] != '-' || arg[1] != '-') {
            options.positional.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help") {
            helpOnly = true;
        } else if (arg == "--build") {
            options.build = true;
        } else if (arg == "--link") {
            if (!valueOf(options.link))
                return false;
        } else if (arg == "--direction") {
            if (!valueOf(value))
                return false;
            if (value != "TX" && value != "RX" && value != "tx" && value != "rx") {
                printError(arg, "must be TX or RX");
                return false;
            }
            options.direction = value;
        } else if (arg == "--seq") {
            if (!valueOf(value))
                return false;
            if (!parseNumber(value, 0xFF, options.sequence)) {
                printError(arg, "\"" + value + "\" is not a number from 0 to 255");
                return false;
            }
        } else if (arg == "--sender") {
            if (!valueOf(value))
                return false;
            if (!parseNumber(value, 0xFF, options.sender)) {
                printError(arg, "\"" + value + "\" is not a device id from 0 to 255");
                return false;
            }
        } else {
            printError(arg, "unknown option");
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    bool helpOnly = false;
    if (!parseArguments(argc, argv, options, helpOnly)) {
        std::fputs(kUsage, stderr);
        return BadInput;
    }
    if (helpOnly) {
        std::fputs(kUsage, stdout);
        return AllValid;
    }
    if (options.build)
        return buildFromArguments(options);
    if (options.positional.empty())
        return describeStandardInput(options);
    return describeArguments(options);
}
