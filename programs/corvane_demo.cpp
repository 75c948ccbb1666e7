// Builds a demo machine (a Wine-layout prefix with traces for every cleaner) in the folder given,
// for trying the program without a real prefix: `corvane-demo FOLDER`.

#include <cstdio>
#include <string>

#include "demo/demo_machine.h"
#include "platform/program_folder.h"

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '\0' || argv[1][0] == '-') {
    std::fputs(
        "usage: corvane-demo FOLDER\n"
        "Builds a demo Wine prefix in FOLDER (new, empty, or an earlier demo machine).\n",
        stderr);
    return 2;
  }
  std::string error;
  if (!corvane::BuildDemoMachine(argv[1], corvane::ProgramFolder(), error)) {
    std::fprintf(stderr, "corvane-demo: %s\n", error.c_str());
    return 1;
  }
  std::printf("Demo machine ready in %s\n", argv[1]);
  return 0;
}
