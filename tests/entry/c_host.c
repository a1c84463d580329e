/* A cash-register host written in C: it creates Class1, calls the methods as its command line
 * says, pumps events and reports what it got and what is shown. Commands:
 *   kelm N | jfgl N | zmcx N | invoke ID N | pump MS | show | badargs
 */
#include <kelm/kelm.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* From WindowProbe.cpp: prints the visible windows and their lists. */
void probe_windows(void);

int main(int argc, char** argv)
{
    kelm_Class1* object = kelm_Class1_create();
    if (!object) {
        printf("create error=%s\n", kelm_last_error());
        return 3;
    }
    for (int i = 1; i < argc; ++i) {
        int result = -1;
        int rc = -1;
        if (strcmp(argv[i], "kelm") == 0 && i + 1 < argc) {
            rc = kelm_Class1_kelm(object, atoi(argv[++i]), &result);
        } else if (strcmp(argv[i], "jfgl") == 0 && i + 1 < argc) {
            rc = kelm_Class1_jfgl(object, atoi(argv[++i]), &result);
        } else if (strcmp(argv[i], "zmcx") == 0 && i + 1 < argc) {
            rc = kelm_Class1_zmcx(object, atoi(argv[++i]), &result);
        } else if (strcmp(argv[i], "invoke") == 0 && i + 2 < argc) {
            int dispid = (int)strtol(argv[i + 1], NULL, 0);
            rc = kelm_Class1_invoke(object, dispid, atoi(argv[i + 2]), &result);
            i += 2;
        } else if (strcmp(argv[i], "pump") == 0 && i + 1 < argc) {
            rc = kelm_process_events(atoi(argv[++i]));
        } else if (strcmp(argv[i], "show") == 0) {
            probe_windows();
            continue;
        } else if (strcmp(argv[i], "badargs") == 0) {
            rc = kelm_Class1_kelm(NULL, 1, &result);
        }
        printf("call rc=%d result=%d error=%s\n", rc, result, kelm_last_error());
    }
    kelm_Class1_release(object);
    fflush(stdout);
    return 0;
}
