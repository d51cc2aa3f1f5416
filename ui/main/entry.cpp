// Placeholder entry; the real start-up lives with the main form.
int main() {
    return 0;
}
