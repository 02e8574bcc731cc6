#include "sim/pty.h"
int main()
{
    return 0;
}
