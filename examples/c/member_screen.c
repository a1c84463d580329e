/* A till program written in C that shows the member screen through libkelm.so. It has no event loop
 * of its own, so it pumps the library's while the screen is up.
 *
 *   cc -o member_screen member_screen.c $(pkg-config --cflags --libs kelm)
 *   ./member_screen [SECONDS]      (how long the screen stays up; 60 when not given)
 */
#include <kelm/kelm.h>

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? atoi(argv[1]) : 60;
    kelm_Class1* membership = kelm_Class1_create();
    if (!membership) {
        fprintf(stderr, "kelm %s: %s\n", kelm_version(), kelm_last_error());
        return 1;
    }
    int shown = 0;
    if (kelm_Class1_kelm(membership, 1, &shown) != KELM_OK) {
        fprintf(stderr, "kelm %s: %s\n", kelm_version(), kelm_last_error());
        kelm_Class1_release(membership);
        return 1;
    }
    /* 0 returned: the screen is loaded and shown. */
    printf("kelm %s: the member screen 会员管理 is shown\n", kelm_version());
    fflush(stdout);
    for (int elapsed = 0; elapsed < seconds * 1000; elapsed += 50)
        kelm_process_events(50);
    kelm_Class1_release(membership);
    return 0;
}
