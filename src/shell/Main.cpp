// Entry point of the screensaver module.
int main()
{
    return 0;
}
