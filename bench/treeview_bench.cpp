// SPDX-License-Identifier: GPL-3.0-or-later
int main() { return 0; }
