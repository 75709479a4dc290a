\version "2.24.0"
\paper { indent = 0 line-width = 120\mm tagline = ##f }
\header { tagline = ##f }
melody = \relative c'' { \time 4/4 b8[ c] d4 c b | a8[ b] c4 b2 \bar "|." }
\score {
  <<
    \new Voice = "v" \melody
    \new Lyrics \lyricsto "v" { I saw a ship a -- sail -- ing by }
    \new Lyrics \lyricsto "v" { Won -- der -- ful -- ly beau -- ti -- ful mag -- nif }
  >>
  \layout { }
}
\score {
  \relative c'' { \time 4/4 g16.[ a32 b16. c32] d8~[ d32 d16.] c8. b16 a16~[ a32 a16.] g8. fis16 g8 }
  \layout { }
}
