// zentor-agent: the stand-in NetWare debug agent (see agent_options.cpp for its usage).
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "agent_endpoints.h"
#include "agent_options.h"
#include "agent_trace.h"
#include "request_dispatcher.h"
#include "server_model.h"

namespace {

using namespace zentor::agent;

volatile sig_atomic_t g_stop = 0;

void OnStopSignal(int) { g_stop = 1; }

// Written beside its final name and renamed, so a reader never sees half of it.
bool WriteReadyFile(const std::string& path, const UdpEndpoint* udp, const SerialEndpoint* serial) {
  const std::string temporary = path + ".part";
  {
    std::ofstream out(temporary);
    if (udp != nullptr) out << "udp-port " << udp->Port() << "\n";
    if (serial != nullptr) out << "pty " << serial->LinePath() << "\n";
    out << "pid " << getpid() << "\n";
    if (!out) return false;
  }
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

bool FileExists(const std::string& path) {
  struct stat status{};
  return stat(path.c_str(), &status) == 0;
}

int Run(const AgentOptions& options) {
  AgentTrace trace;
  if (!options.m_traceFile.empty() && !trace.Open(options.m_traceFile)) {
    std::fprintf(stderr, "zentor-agent: cannot write %s\n", options.m_traceFile.c_str());
    return 2;
  }
  ServerModel server(options);
  for (const std::string& manifest : options.m_modules) {
    ModuleImage module;
    std::string error;
    uint32_t handle = 0;
    if (!LoadModuleImage(manifest, &module, &error) || !server.AddModule(std::move(module), &handle, &error)) {
      std::fprintf(stderr, "zentor-agent: %s\n", error.c_str());
      return 2;
    }
  }
  for (uint32_t i = 1; i <= options.m_extraModules; ++i) {
    ModuleImage module;
    char name[16];
    std::snprintf(name, sizeof name, "MOD%03u.NLM", i);
    module.m_name = name;
    module.m_description = "Made-up module " + std::to_string(i);
    module.m_majorVersion = 1;
    module.m_minorVersion = i % 100;
    module.m_codeBase = 0xE0000000u + i * 0x10000u;
    module.m_codeLength = 0x1000;
    module.m_dataBase = module.m_codeBase + 0x8000;
    module.m_dataLength = 0x100;
    uint32_t handle = 0;
    std::string error;
    server.AddModule(std::move(module), &handle, &error);
  }

  RequestDispatcher dispatcher(server);
  std::unique_ptr<UdpEndpoint> udp;
  std::unique_ptr<SerialEndpoint> serial;
  std::string error;
  if (options.m_udp) {
    udp = std::make_unique<UdpEndpoint>(dispatcher, options.m_faults, trace);
    if (!udp->Open(options.m_udpPort, &error)) {
      std::fprintf(stderr, "zentor-agent: %s\n", error.c_str());
      return 2;
    }
    if (!options.m_quiet) std::printf("zentor-agent: UDP 127.0.0.1:%u\n", udp->Port());
  }
  if (options.m_pty) {
    serial = std::make_unique<SerialEndpoint>(dispatcher, options.m_faults, trace);
    if (!serial->Open(options.m_ptyLink, &error)) {
      std::fprintf(stderr, "zentor-agent: %s\n", error.c_str());
      return 2;
    }
    if (!options.m_quiet) {
      std::printf("zentor-agent: serial line %s%s%s\n", serial->LinePath().c_str(),
                  options.m_ptyLink.empty() ? "" : " linked from ", options.m_ptyLink.c_str());
    }
  }
  std::fflush(stdout);
  if (!options.m_readyFile.empty() && !WriteReadyFile(options.m_readyFile, udp.get(), serial.get())) {
    std::fprintf(stderr, "zentor-agent: cannot write %s\n", options.m_readyFile.c_str());
    return 2;
  }

  constexpr uint64_t kSpinMicroseconds = 100;
  constexpr uint64_t kProcessorTakenMicroseconds = 30;
  uint64_t lastRequestMicroseconds = 0;
  bool sleepUntilRequest = false;
  uint64_t lastActivity = NowMilliseconds();
  uint64_t lastReadyCheck = lastActivity;
  while (g_stop == 0) {
    // A running thread gets the processor whenever no line has anything. Right after a
    // request the next one (or its ACK) is likely within microseconds: the agent looks
    // again without sleeping for a moment, as a sleeping process takes long to wake.
    // Each look first gives the processor away, so that a debugger on the same core
    // takes the answer and sends what the agent waits for; then it reads the lines
    // without waiting (they never block). When giving the processor away took long,
    // other work had the core, and the agent sleeps until the next request, which
    // wakes it at once.
    const bool justBusy =
        !sleepUntilRequest && NowMicroseconds() - lastRequestMicroseconds < kSpinMicroseconds;
    bool took = false;
    if (justBusy && !server.IsRunning()) {
      const uint64_t yielded = NowMicroseconds();
      sched_yield();
      sleepUntilRequest = NowMicroseconds() - yielded > kProcessorTakenMicroseconds;
      if (udp) took = udp->OnReadable() || took;
      if (serial) took = serial->OnReadable() || took;
    } else {
      pollfd lines[2];
      nfds_t count = 0;
      if (udp) lines[count++] = pollfd{udp->Descriptor(), POLLIN, 0};
      if (serial) lines[count++] = pollfd{serial->Descriptor(), POLLIN, 0};
      const bool holding = (udp && udp->HoldsRequest()) || (serial && serial->HoldsRequest());
      const int wait = server.IsRunning() || justBusy ? 0 : holding ? 5 : 100;
      if (poll(lines, count, wait) > 0) {
        for (nfds_t i = 0; i < count; ++i) {
          if ((lines[i].revents & POLLIN) == 0) continue;
          if (udp && lines[i].fd == udp->Descriptor()) took = udp->OnReadable() || took;
          if (serial && lines[i].fd == serial->Descriptor()) took = serial->OnReadable() || took;
        }
      }
    }
    const uint64_t now = NowMilliseconds();
    if (took) {
      sleepUntilRequest = false;
      lastActivity = now;
      lastRequestMicroseconds = NowMicroseconds();
    } else if (server.IsRunning()) {
      server.RunSlice();
    }
    if (udp) udp->ServiceHeldRequest();
    if (serial) {
      serial->ServiceHeldRequest();
      serial->OnIdle();
    }
    if (now - lastReadyCheck >= 200) {
      lastReadyCheck = now;
      if (!options.m_readyFile.empty() && !FileExists(options.m_readyFile)) break;
      if (options.m_idleExitSeconds != 0 && now - lastActivity >= options.m_idleExitSeconds * 1000ull) break;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  AgentOptions options;
  std::string error;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (!ParseAgentOptions(arguments, &options, &error)) {
    std::fprintf(stderr, "zentor-agent: %s (see zentor-agent --help)\n", error.c_str());
    return 2;
  }
  if (options.m_help) {
    std::fputs(AgentUsageText(), stdout);
    return 0;
  }
  struct sigaction action{};
  action.sa_handler = &OnStopSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
  signal(SIGHUP, SIG_IGN);
  try {
    return Run(options);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "zentor-agent: %s\n", failure.what());
    return 2;
  }
}
