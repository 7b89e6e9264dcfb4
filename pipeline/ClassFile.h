// The class model lives in pipeline/classfile/ClassModel.h; this name stays for its readers.
#pragma once

#include "pipeline/classfile/ClassModel.h"
