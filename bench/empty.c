/* The baseline for process start: a static C program that does nothing. */
int main(void) { return 0; }
