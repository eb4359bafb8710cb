/* The baseline of the extraction of many small entries: writes the files a
 * list names, each with open, write and close and nothing else.
 *   tessary-e2e-write-loop LIST DIR
 * LIST has one "RELATIVE_PATH<TAB>SIZE" line per file; a missing folder is
 * made when a file cannot be created in it. */
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static char buffer[1 << 20];

static int CreateFile(const char* path) {
  int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 && errno == ENOENT) {
    char folder[8192];
    char* slash;
    snprintf(folder, sizeof folder, "%s", path);
    slash = strrchr(folder, '/');
    if (slash) {
      *slash = '\0';
      mkdir(folder, 0755);
    }
    fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  return fd;
}

int main(int argc, char** argv) {
  char line[4096], path[8192];
  FILE* list;
  if (argc != 3) {
    fprintf(stderr, "usage: tessary-e2e-write-loop LIST DIR\n");
    return 2;
  }
  list = fopen(argv[1], "r");
  if (!list) {
    perror(argv[1]);
    return 1;
  }
  mkdir(argv[2], 0755);
  memset(buffer, 0x5A, sizeof buffer);
  while (fgets(line, sizeof line, list)) {
    char* tab = strchr(line, '\t');
    size_t size;
    int fd;
    if (!tab) continue;
    *tab = '\0';
    size = strtoul(tab + 1, NULL, 10);
    snprintf(path, sizeof path, "%s/%s", argv[2], line);
    fd = CreateFile(path);
    if (fd < 0 || size > sizeof buffer || write(fd, buffer, size) != (ssize_t)size) {
      perror(path);
      return 1;
    }
    close(fd);
  }
  fclose(list);
  return 0;
}
