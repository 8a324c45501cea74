#pragma once
// The server listings of the command language: the server's processes (all, running,
// and those not on the run queue with what they wait for), its loaded modules and its
// screens. Each asks the agent for the list and for each entry's record and writes
// the entries to the command output; a failed list request ends it silently (the
// request printed the server's error, if any). The target's keywords reach them
// through action slots 196, 194, 190, 188 and 192.

namespace zentor {

void ListAllProcesses();
void ListRunningProcesses();
void ListWaitingProcesses();
void ListServerModules();
void ListScreens();

}  // namespace zentor
