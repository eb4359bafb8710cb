#include "main/cli/cli_front_end.h"

int main(int argc, char** argv) {
  return tessary::RunCli(argc, argv);
}
