// Placeholder until the application frame lands.
int main() { return 0; }
