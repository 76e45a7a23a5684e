/* Runs a program and prints, on standard error, its peak RSS in KiB and the
   CPU time (user + system, in microseconds) it and its children used, as
   "peak_rss_kib=N cpu_us=N". A small launcher forks it, so the figures are
   the program's own and not those of a large parent copied by fork. */
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  pid_t pid = fork();
  if (pid < 0) return 2;
  if (pid == 0) {
    execv(argv[1], argv + 1);
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (wait4(pid, &status, 0, &usage) < 0) return 2;
  const long cpu = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000L +
                   usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
  fprintf(stderr, "peak_rss_kib=%ld cpu_us=%ld\n", usage.ru_maxrss, cpu);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
}
