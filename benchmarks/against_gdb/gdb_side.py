# The GDB side of scripts/bench-against-gdb, run inside the GDB client:
#   gdb -q -nx -batch -x gdb_side.py
# with its settings in the environment variable GDB_SIDE_SETTINGS (JSON; the driver
# writes it). It times, in batches, what the benchmark programs time against the
# stand-in agent, and writes per item the value of each batch (seconds per operation,
# or bytes or hits per second) and the facts the driver checks (checksum, frame counts,
# hit counts, the loop's result) as JSON to settings["out"].
#
# mode "session": connected to gdbserver running gdb_program (stopped at its entry),
#   the program's stops in their order (see gdb_program.c; settings["demo_calc"] is
#   the path of DEMO's demo_calc.c). Every command's output
#   is formatted as the command would print it: to a string where GDB can capture it,
#   else to GDB's standard output (the driver sends that to /dev/null).
# mode "command_loop": no target; the CLI's while loop over convenience variables.

import json
import os
import time

import gdb

settings = json.loads(os.environ["GDB_SIDE_SETTINGS"])
values = {}
facts = {}


def Run(command):
    return gdb.execute(command, to_string=True)


def TimeBatches(item, batches, operations, operation, scale=None):
    """Times `batches` batches of `operations` calls of operation(index); keeps the
    seconds per operation, or scale / (seconds per operation) when a scale is given."""
    kept = values.setdefault(item, [])
    index = 0
    for _ in range(batches):
        start = time.perf_counter()
        for _ in range(operations):
            operation(index)
            index += 1
        seconds = (time.perf_counter() - start) / operations
        kept.append(seconds if scale is None else scale / seconds)


def SourceLine(path, text):
    with open(path) as source:
        for number, line in enumerate(source, 1):
            if text in line:
                return number
    raise gdb.GdbError("no line holds '%s' in %s" % (text, path))


def StopAt(location):
    """A breakpoint at `location`, a continue to it, and the breakpoint gone."""
    Run("break " + location)
    gdb.execute("continue")
    Run("delete")


def Reads():
    StopAt("MemoryFilled")
    inferior = gdb.selected_inferior()
    base = int(gdb.parse_and_eval("(unsigned int) &g_memory"))
    size = int(gdb.parse_and_eval("sizeof (g_memory)"))
    TimeBatches("read_4_bytes", settings["batches"], settings["reads"],
                lambda index: inferior.read_memory(base + index * 4 % size, 4))
    TimeBatches("read_1_mib", settings["batches"], 1, lambda index: inferior.read_memory(base, 1 << 20), 1 << 20)
    last = []
    TimeBatches("read_16_mib", settings["large_batches"], 1,
                lambda index: last.append(inferior.read_memory(base, 16 << 20)), 16 << 20)
    import zlib
    facts["checksum_16_mib"] = zlib.crc32(last[-1].tobytes())


def FrameCount(backtrace):
    return sum(1 for line in backtrace.splitlines() if line.startswith("#"))


def CallStack():
    # Factorial's test of n, where the debugger's call stack stops too.
    calc = settings["demo_calc"]
    StopAt("%s:%d if n == 1" % (os.path.basename(calc), SourceLine(calc, "if (n <= 1)")))
    walks = []

    # GDB keeps the registers, the frames and the stack's bytes until the target runs;
    # each walk starts from none of them, as the debugger's does.
    def Walk(index):
        Run("maintenance flush register-cache")
        Run("maintenance flush dcache")
        walks.append(Run("backtrace"))

    TimeBatches("call_stack", settings["batches"], settings["walks"], Walk)
    facts["call_stack_frames"] = FrameCount(walks[-1])


# The watches of the views' benchmark, shown by GDB at every stop.
WATCHES = ["g_small[0]", "g_small[99]", "g_large[4999]", "g_counter", "g_letter", "g_shape.colour",
           "g_shape.corners[2].x", "g_wide[1]", "depth", "scratch"]


def StopAndRefreshEveryView():
    StopAt("LeafSpinning")
    for watch in WATCHES:
        Run("display " + watch)
    stacks = []

    # The step with its report (and the watches), then what each view shows:
    # registers with the floating-point unit, the call stack, three screens of 20
    # lines of memory (60 rows of 4 words, read at once as a memory window asks for
    # them; "x" would read word by word), g_small's 100 elements, the procedure's
    # arguments and locals. The module list is left out: GDB changes it only at
    # library events, and the program has none.
    def Stop(index):
        gdb.execute("stepi")
        Run("info registers")
        Run("info float")
        stacks.append(Run("backtrace"))
        Run('interpreter-exec mi "-data-read-memory &g_small x 4 60 4"')
        Run("print g_small")
        Run("info args")
        Run("info locals")

    TimeBatches("stop_refresh", settings["batches"], settings["stops"], Stop)
    facts["views_frames"] = FrameCount(stacks[-1])
    Run("undisplay")
    Run("set var g_stay = 0")


def GoToBreakpoint():
    Run("break g")
    breakpoint = gdb.breakpoints()[-1]
    gdb.execute("continue")
    before = breakpoint.hit_count
    TimeBatches("go_to_breakpoint", settings["batches"], settings["goes"], lambda index: gdb.execute("continue"))
    facts["breakpoint_hits"] = breakpoint.hit_count - before
    facts["breakpoint_goes"] = settings["batches"] * settings["goes"]
    Run("delete")


def InstructionStep():
    Run("display/i $pc")
    TimeBatches("instruction_step", settings["batches"], settings["steps"], lambda index: gdb.execute("stepi"))
    Run("undisplay")


def Passpoints():
    # A passpoint: a breakpoint whose commands print a line and continue.
    Run("break g")
    passpoint = gdb.breakpoints()[-1]
    passpoint.commands = 'silent\nprintf "[ Passpoint at g ]\\n"\ncontinue'
    Run("break RoundEnd")
    stop = gdb.breakpoints()[-1]
    gdb.execute("continue")
    hits = passpoint.hit_count
    stops = stop.hit_count
    goes = settings["passpoint_goes"]
    TimeBatches("passpoints", settings["batches"], goes, lambda index: gdb.execute("continue"), 5)
    # One go is five hits: per batch, hits per second = 5 / seconds per go.
    facts["passpoint_hits"] = passpoint.hit_count - hits
    facts["passpoint_goes"] = stop.hit_count - stops
    facts["passpoint_goes_expected"] = settings["batches"] * goes
    Run("delete")


def CommandLoop():
    iterations = settings["loop_iterations"]
    path = settings["out"] + ".loop"
    with open(path, "w") as script:
        script.write("set $i = 0\nset $odd = 0\n"
                     "while $i < %d\n"
                     "  if $i %% 3 == 1\n    set $odd += 1\n  else\n    set $odd = $odd + 2\n  end\n"
                     "  set $i += 1\n"
                     "end\n" % iterations)
    results = []

    def Loop(index):
        gdb.execute("source " + path)
        results.append(int(gdb.parse_and_eval("$odd")))

    TimeBatches("command_loop", settings["loop_batches"], 1, Loop, iterations)
    facts["loop_results"] = results
    os.remove(path)


Run("set pagination off")
Run("set confirm off")
Run("set width 0")
if settings["mode"] == "session":
    Run("set sysroot")
    gdb.execute("target remote 127.0.0.1:%d" % settings["port"])
    Reads()
    CallStack()
    StopAndRefreshEveryView()
    GoToBreakpoint()
    InstructionStep()
    Passpoints()
    Run("kill")
else:
    CommandLoop()

with open(settings["out"], "w") as out:
    json.dump({"values": values, "facts": facts}, out)
