#include "agent_options.h"

#include <cstdlib>

#include "module_image.h"

namespace zentor::agent {
namespace {

constexpr const char* kUsage =
    "Usage: zentor-agent [options]\n"
    "\n"
    "The stand-in NetWare debug agent: it runs 32-bit x86 modules in an emulator and\n"
    "answers the debugger's agent protocol over UDP on 127.0.0.1 and, on request, over a\n"
    "pseudo-terminal serial line. It runs until interrupted (Ctrl+C).\n"
    "\n"
    "Start it, then the debugger:\n"
    "  zentor-agent --module build/native/tools/agent/samples/sample.mod\n"
    "  zentor -ip 127.0.0.1            (or -ip 127.0.0.1:PORT with --udp-port PORT)\n"
    "  zentor-agent --pty-link /tmp/com1 ...   then   ZENTOR_COM1=/tmp/com1 zentor -port COM1\n"
    "\n"
    "Links:\n"
    "  --udp-port N          UDP port on 127.0.0.1 (default 23124; 0 takes a free one)\n"
    "  --no-udp              no UDP link\n"
    "  --pty                 open a pseudo-terminal serial line and print its path\n"
    "  --pty-link PATH       --pty, and make PATH a symbolic link to the line\n"
    "Server:\n"
    "  --module FILE         load the module of manifest FILE at start (repeatable)\n"
    "  --module-dir DIR      where load requests find NAME.mod manifests (default .)\n"
    "  --extra-modules N     add N made-up modules to the module list\n"
    "  --list-part N         at most N identifiers in one list answer (default 256)\n"
    "  --no-fpu              the server has no floating-point unit\n"
    "  --debug-register-events  report a debug register that fires as exception 0x12F\n"
    "                        with DR0-DR3, DR6 and DR7 (default: 0x12D, DR6 to be read)\n"
    "  --go-event EVENT      the next go reports EVENT instead of running the thread\n"
    "                        (repeatable: each go takes the next): thread-created:ADDRESS,\n"
    "                        thread-exited, load-error:STATUS or server-error:STATUS\n"
    "Running under tests:\n"
    "  --ready-file FILE     once listening, write \"udp-port N\", \"pty PATH\" and \"pid N\"\n"
    "                        lines to FILE; the agent ends when FILE is removed\n"
    "  --idle-exit SECONDS   end after that long without a request\n"
    "  --trace FILE          write one line per request, answer and control byte\n"
    "  --quiet               do not print where the agent listens\n"
    "Faults (LIST: answer numbers counted from 1 over every answer sent, e.g. 1,3,5-7):\n"
    "  --drop LIST           do not send those answers\n"
    "  --damage LIST         flip a bit of their packet sum\n"
    "  --delay LIST          send them late (--delay-ms MS, default 300)\n"
    "  --late LIST           hold them until the next request comes, then send them\n"
    "                        before that request is handled\n"
    "  --duplicate LIST      send them twice\n"
    "  --stale LIST          send them with the previous sequence number\n"
    "  --ack-first           send an ACK before every answer\n"
    "  --split-writes N[:MS] write serial answers in pieces of N bytes, MS ms apart\n"
    "                        (default 5)\n"
    "  --help                this text\n";

bool ParseCount(const std::string& text, uint32_t* value, uint32_t most = 0xFFFFFFFFu) {
  if (text.empty()) return false;
  char* end = nullptr;
  const unsigned long long parsed = std::strtoull(text.c_str(), &end, 10);
  if (*end != '\0' || parsed > most) return false;
  *value = static_cast<uint32_t>(parsed);
  return true;
}

// "1,3,5-7"
bool ParseList(const std::string& text, std::set<uint32_t>* numbers) {
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    const size_t dash = item.find('-');
    uint32_t first = 0;
    uint32_t last = 0;
    if (dash == std::string::npos) {
      if (!ParseCount(item, &first)) return false;
      last = first;
    } else if (!ParseCount(item.substr(0, dash), &first) || !ParseCount(item.substr(dash + 1), &last) ||
               last < first || last - first > 100000) {
      return false;
    }
    for (uint64_t n = first; n <= last; ++n) numbers->insert(static_cast<uint32_t>(n));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return true;
}

// "thread-created:0x00100080", "thread-exited", "load-error:13", "server-error:0x4004"
bool ParseScriptedEvent(const std::string& text, ScriptedEvent* event) {
  const size_t colon = text.find(':');
  const std::string kind = text.substr(0, colon);
  const std::string value = colon == std::string::npos ? std::string() : text.substr(colon + 1);
  if (kind == "thread-exited") {
    event->m_code = kAgentEventThreadExited;
    return colon == std::string::npos;
  }
  if (kind == "thread-created") {
    event->m_code = kAgentEventThreadCreated;
    return ParseNumber(value, &event->m_address);
  }
  if (kind == "load-error" || kind == "server-error") {
    event->m_code = kind == "load-error" ? kAgentEventLoadError : kAgentEventServerError;
    return ParseNumber(value, &event->m_status);
  }
  return false;
}

}  // namespace

const char* AgentUsageText() { return kUsage; }

bool ParseAgentOptions(const std::vector<std::string>& arguments, AgentOptions* options, std::string* error) {
  FaultPlan& faults = options->m_faults;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& option = arguments[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= arguments.size()) return false;
      *out = arguments[++i];
      return true;
    };
    std::string text;
    uint32_t number = 0;
    bool good = true;
    if (option == "--help" || option == "-h") {
      options->m_help = true;
    } else if (option == "--udp-port") {
      good = value(&text) && ParseCount(text, &number, 65535);
      options->m_udpPort = static_cast<uint16_t>(number);
    } else if (option == "--no-udp") {
      options->m_udp = false;
    } else if (option == "--pty") {
      options->m_pty = true;
    } else if (option == "--pty-link") {
      good = value(&options->m_ptyLink) && !options->m_ptyLink.empty();
      options->m_pty = true;
    } else if (option == "--module") {
      good = value(&text);
      options->m_modules.push_back(text);
    } else if (option == "--module-dir") {
      good = value(&options->m_moduleDirectory);
    } else if (option == "--extra-modules") {
      good = value(&text) && ParseCount(text, &options->m_extraModules, 20000);
    } else if (option == "--list-part") {
      good = value(&text) && ParseCount(text, &options->m_listPartEntries, 256) && options->m_listPartEntries > 0;
    } else if (option == "--no-fpu") {
      options->m_hasFloatingPoint = false;
    } else if (option == "--debug-register-events") {
      options->m_debugRegisterEvents = true;
    } else if (option == "--go-event") {
      ScriptedEvent event;
      good = value(&text) && ParseScriptedEvent(text, &event);
      options->m_goEvents.push_back(event);
    } else if (option == "--ready-file") {
      good = value(&options->m_readyFile);
    } else if (option == "--idle-exit") {
      good = value(&text) && ParseCount(text, &options->m_idleExitSeconds);
    } else if (option == "--quiet") {
      options->m_quiet = true;
    } else if (option == "--trace") {
      good = value(&options->m_traceFile);
    } else if (option == "--drop") {
      good = value(&text) && ParseList(text, &faults.m_drop);
    } else if (option == "--damage") {
      good = value(&text) && ParseList(text, &faults.m_damage);
    } else if (option == "--delay") {
      good = value(&text) && ParseList(text, &faults.m_delay);
    } else if (option == "--late") {
      good = value(&text) && ParseList(text, &faults.m_late);
    } else if (option == "--delay-ms") {
      good = value(&text) && ParseCount(text, &faults.m_delayMilliseconds, 60000);
    } else if (option == "--duplicate") {
      good = value(&text) && ParseList(text, &faults.m_duplicate);
    } else if (option == "--stale") {
      good = value(&text) && ParseList(text, &faults.m_stale);
    } else if (option == "--ack-first") {
      faults.m_ackFirst = true;
    } else if (option == "--split-writes") {
      good = value(&text);
      if (good) {
        const size_t colon = text.find(':');
        good = ParseCount(text.substr(0, colon), &faults.m_splitBytes, 1040) && faults.m_splitBytes > 0 &&
               (colon == std::string::npos || ParseCount(text.substr(colon + 1), &faults.m_splitPauseMilliseconds, 1000));
      }
    } else {
      *error = "unknown option " + option;
      return false;
    }
    if (!good) {
      *error = "bad or missing value for " + option;
      return false;
    }
  }
  return true;
}

}  // namespace zentor::agent
