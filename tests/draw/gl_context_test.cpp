// The headless context every drawing test relies on.
#include <gtest/gtest.h>

#include "support/gl_test_context.h"

TEST(GlTestContext, FeedbackReportsWindowCoordinatesAndTexCoords) {
    GlTestContext gl(64, 32);
    ASSERT_TRUE(gl.valid());
    loadPixelExactProjection(64, 32);
    auto primitives = captureFeedback([] {
        glBegin(GL_TRIANGLES);
        glTexCoord2f(0.25f, 0.5f);
        glVertex2f(1, 2);
        glVertex2f(11, 2);
        glVertex2f(1, 12);
        glEnd();
    });
    ASSERT_EQ(primitives.size(), 1u);
    ASSERT_EQ(primitives[0].vertices.size(), 3u);
    EXPECT_FLOAT_EQ(primitives[0].vertices[1].x, 11);
    EXPECT_FLOAT_EQ(primitives[0].vertices[2].y, 12);
    EXPECT_FLOAT_EQ(primitives[0].vertices[0].s, 0.25f);
}
