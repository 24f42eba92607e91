/* switchctl: command-line front end of the switchsim control library.
 *   switchctl plug VID PID VERSION [--outlen N] [--col1-only|--col2-only] [--instance ID]
 *                  [--write-delay MS]
 *   switchctl unplug [--instance ID]
 *   switchctl hold 0|1|2   (a switch that stops taking reports; 0 lifts it)
 *   switchctl list
 *   switchctl log-clear | log-dump | log-wait "<exact line>" TIMEOUT_MS
 * Exit status 0 on success, 1 on failure, 2 on bad usage. */
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include "switchsim_ctl.h"

static int usage(void)
{
    fprintf(stderr,
            "usage: switchctl plug VID PID VERSION [--outlen N] [--col1-only|--col2-only] [--instance ID]\n"
            "                      [--write-delay MS]\n"
            "       switchctl unplug [--instance ID]\n"
            "       switchctl hold 0|1|2\n"
            "       switchctl list\n"
            "       switchctl log-clear | log-dump | log-wait \"LINE\" TIMEOUT_MS\n");
    return 2;
}

static int parse_hex16(const wchar_t *s, unsigned short *out)
{
    wchar_t *end;
    unsigned long v = wcstoul(s, &end, 16);
    if (!*s || *end || v > 0xFFFF) return 1;
    *out = (unsigned short)v;
    return 0;
}

/* Success prints the time taken; main prints the failure. */
static int report(int err, const char *what, DWORD start)
{
    if (err) return 1;
    printf("%s done in %lu ms\n", what, GetTickCount() - start);
    return 0;
}

static int cmd_plug(int argc, wchar_t **argv)
{
    DWORD start = GetTickCount();
    SimDevice dev;
    unsigned short vid, pid, ver;
    int i;

    if (argc < 5 || parse_hex16(argv[2], &vid) || parse_hex16(argv[3], &pid) || parse_hex16(argv[4], &ver))
        return usage();
    SimDeviceInit(&dev, vid, pid, ver);
    for (i = 5; i < argc; i++)
    {
        if (!wcscmp(argv[i], L"--outlen") && i + 1 < argc)
            dev.outputLength = (unsigned)wcstoul(argv[++i], NULL, 10);
        else if (!wcscmp(argv[i], L"--col2-only"))
            dev.col2Only = 1;
        else if (!wcscmp(argv[i], L"--col1-only"))
            dev.col1Only = 1;
        else if (!wcscmp(argv[i], L"--instance") && i + 1 < argc)
            dev.instance = argv[++i];
        else if (!wcscmp(argv[i], L"--write-delay") && i + 1 < argc)
            dev.writeDelayMs = (unsigned)wcstoul(argv[++i], NULL, 10);
        else
            return usage();
    }
    return report(SimPlug(&dev), "plug", start);
}

static int cmd_unplug(int argc, wchar_t **argv)
{
    const wchar_t *instance = NULL;
    DWORD start = GetTickCount();

    if (argc == 4 && !wcscmp(argv[2], L"--instance")) instance = argv[3];
    else if (argc != 2) return usage();
    return report(SimUnplug(instance), "unplug", start);
}

int main(void)
{
    int argc, rc = 2;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    static char buf[1 << 20];

    _setmode(_fileno(stdout), _O_BINARY); /* "\n" lines, as in the log */
    if (!argv || argc < 2) return usage();
    if (!wcscmp(argv[1], L"plug"))
        rc = cmd_plug(argc, argv);
    else if (!wcscmp(argv[1], L"unplug"))
        rc = cmd_unplug(argc, argv);
    else if (!wcscmp(argv[1], L"hold") && argc == 3)
        rc = SimHold((unsigned)_wtoi(argv[2]));
    else if (!wcscmp(argv[1], L"list") && argc == 2)
    {
        rc = SimList(buf, sizeof(buf)) ? 1 : 0;
        fputs(buf, stdout);
    }
    else if (!wcscmp(argv[1], L"log-clear") && argc == 2)
        rc = SimLogClear() ? 1 : 0;
    else if (!wcscmp(argv[1], L"log-dump") && argc == 2)
    {
        rc = SimLogRead(buf, sizeof(buf)) ? 1 : 0;
        fputs(buf, stdout);
    }
    else if (!wcscmp(argv[1], L"log-wait") && argc == 4)
    {
        char line[1024];
        WideCharToMultiByte(CP_ACP, 0, argv[2], -1, line, sizeof(line), NULL, NULL);
        rc = SimLogWait(line, (unsigned)wcstoul(argv[3], NULL, 10)) ? 1 : 0;
    }
    else
        return usage();
    if (rc == 1) fprintf(stderr, "switchctl: %s\n", SimLastError());
    LocalFree(argv);
    return rc;
}
