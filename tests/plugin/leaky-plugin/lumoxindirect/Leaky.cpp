// A plug-in source that reaches into a stand-in: the isolation check must
// refuse it. Never compiled.
#include <DDImage/Op.h>
#  include "standin/lumox/Transcript.h"
