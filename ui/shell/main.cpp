// SPDX-License-Identifier: GPL-2.0-or-later
#include "CTravoApp.h"

int main(int argc, char** argv) {
    CTravoApp app;
    return app.run(argc, argv);
}
