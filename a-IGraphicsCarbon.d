IGraphicsCarbon.o: graphics/mac/IGraphicsCarbon.cpp \
 graphics/mac/IGraphicsCarbon.h
graphics/mac/IGraphicsCarbon.h:
