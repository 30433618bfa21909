// Each tool defines tool_main; the process entry calls it with the arguments after the
// program's own name and exits with what it returns. Nothing else ends the process.
#pragma once

int tool_main(int argc, char **argv);
