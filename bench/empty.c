/* An empty C program: what the C library's start-up and exit cost on their own. */
int main(void) {
    return 0;
}
