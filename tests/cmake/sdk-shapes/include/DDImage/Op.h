// The header the find module looks for; the shapes differ in their library.
#pragma once
