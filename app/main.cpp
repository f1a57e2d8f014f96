#include "app/app.h"

int main()
{
    return app_main() == 0 ? 0 : 1;
}
