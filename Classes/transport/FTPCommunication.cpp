#include "Classes/transport/FTPCommunication.h"
