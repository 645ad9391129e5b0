// bare-start: a program that starts and ends, built like kestrel: the cost of a process of its own.
int main() {
    return 0;
}
